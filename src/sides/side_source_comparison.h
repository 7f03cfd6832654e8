#pragma once

// Every table of a FoxPro source against the table of the same name
// (without case) of a database (SQLite, PostgreSQL): a migration checked
// whole, table by table, with the tables' outcomes of the comparison of
// two FoxPro sources (compare/source_comparison.h).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/difference_list.h"
#include "compare/pairing.h"
#include "compare/source_comparison.h"
#include "data/source_descriptor.h"
#include "sides/side_diff.h"
#include "sides/side_uri.h"

namespace quorvel::sides {

// How one table's records pair with a side's rows.
struct SideKeyChoice {
    // Key (options' keyFields) or Position; for the table's own key, its
    // note names it ("primary key ID (container shop.dbc)").
    compare::RecordPairing pairing;
    bool automatic = false;             // the table's own key was looked for
    std::string keySource;              // "primary key", "candidate index", "" otherwise
    std::vector<std::string> warnings;  // what reading the table's keys met
    // Not empty: the records cannot pair, and why.
    std::string failure;
};

// The requested pairing made concrete for a table and a side: --key FIELD
// as given; --key auto (or position against rows in no order of their
// own) the table's own key, else position where the rows have an order.
// Sets options.keyFields and keyFoldCase.  Throws FoxProError when the
// table's keys cannot be read.
SideKeyChoice chooseSideKey(const data::SourceDescriptor& source, const std::string& table,
                            const std::string& tableFile, bool sideOrdered,
                            const compare::RecordPairing& requested, SideDiffOptions& options);

struct SideSourceRequest {
    data::SourceDescriptor source;
    SideUri side;  // a database, no table named
    std::string timeZone;
    compare::RecordPairing pairing;  // Pairing::Auto: each table by its own key
    // ignoredFields as TABLE.FIELD; keyFields are set per table.
    SideDiffOptions options;
    std::vector<std::string> only;
    std::vector<std::string> excluded;
};

struct SideSourceCallbacks {
    // After each table with its differences when it was compared (nullptr
    // otherwise) and its column lines' counts.
    std::function<void(const compare::TableComparison& table,
                       const compare::DifferenceList* differences, const SideDiffResult* result)>
        tableDone;
};

// The FoxPro source's tables in its list's order, then the side's tables it
// lacks.  A table that cannot be read fails alone (its message says why).
// Throws FoxProError or SideError when either list of tables cannot be had.
compare::SourceComparison compareSourceWithSide(const SideSourceRequest& request,
                                                const SideSourceCallbacks& callbacks = {});

}  // namespace quorvel::sides
