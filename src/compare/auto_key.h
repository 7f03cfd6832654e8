#pragma once

#include <string>
#include <vector>

#include "compare/pairing.h"
#include "data/source_descriptor.h"
#include "foxpro/format/field_info.h"
#include "foxpro/source/table_keys.h"

namespace quorvel::compare {

// The key a table pairs its records by when asked for its own key.
struct AutoKey {
    // Key with the key fields and their rules, or Position; note says which
    // ("primary key CUSTOMERID (container northwind.dbc)", "candidate index
    // ID", "position (no primary or candidate key)").
    RecordPairing pairing;
    std::string keySource;  // "primary key", "candidate index" or "" for position
    std::string tag;        // the tag used, "" for position
    // Why a tag that might have been the key is not ("tag CODE: LEFT() is
    // not a key function"), and what reading the keys met (keys.warnings).
    std::vector<std::string> notes;
    std::vector<std::string> warnings;
};

// In this order: the container's primary key, the first candidate tag of
// the structural index (tag order), position.  A tag is usable when its
// expression names fields of layout1 (and of layout2, when given) by
// classifyKeyExpression's rules and has no FOR clause.
AutoKey chooseAutoKey(const foxpro::TableKeys& keys, const foxpro::TableLayout& layout1,
                      const foxpro::TableLayout* layout2 = nullptr);

// The automatic key of table1 of source1 (then of table2 of source2 when
// Table #1 names none), its fields checked against both tables.  Throws
// FoxProError when a table cannot be opened.
AutoKey resolveAutoKey(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
                       const std::string& table1, const std::string& table2);

}  // namespace quorvel::compare
