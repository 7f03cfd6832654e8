#pragma once

// A FoxPro table against a side that is not a FoxPro source (a CSV file, an
// SQLite or PostgreSQL table): fields pair with columns by name, records by
// key or by position, values by the FoxPro field's type (side_values.h).
//
// Pairing by key holds one hash and one record number per FoxPro record
// (16 bytes), never a whole FoxPro record, and two batches of the side's rows:
// the FoxPro table is read where it lies (a memory map), walked forward
// through each batch whatever order the side's rows come in.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_locale.h"
#include "sides/side_stream.h"
#include "sides/side_values.h"

namespace quorvel::sides {

struct SideDifference {
    enum class Kind : std::uint8_t { Changed, Added, Deleted, MissingField };
    Kind kind = Kind::Changed;
    // The FoxPro table's live record number and the side's row number
    // (1-based); 0 where the kind has none.
    std::int64_t record1 = 0;
    std::int64_t record2 = 0;
    int field = -1;  // the FoxPro field's position, -1 for Added and Deleted
    std::string_view fieldName;
    // Changed: the FoxPro value's text form and the side's value as it
    // stands ("0h" and hex digits for bytes); "" and null for NULL.
    std::string_view value1;
    std::string_view value2;
    bool null1 = false;
    bool null2 = false;
};

struct SideDiffOptions {
    // Key fields of the FoxPro table (names without case); none: by position.
    std::vector<std::string> keyFields;
    // The key's text compares after this folding, when set (a key index
    // on UPPER(...)).
    std::function<std::string(std::string_view)> keyFoldCase;
    // FIELD=column for fields whose column has another name.
    std::vector<std::pair<std::string, std::string>> columnOf;
    // Fields neither compared nor reported missing.
    std::vector<std::string> ignoredFields;
    SideValueRules rules;
    // The FoxPro values' text forms in the lines.
    foxpro::TextLocale locale = foxpro::TextLocale::c();
    // The side is source #1 and the table source #2: each difference is
    // told as the comparison of the side with the table tells it (records
    // and values the other way round, added and deleted swapped, fields
    // named and numbered as the side's columns), and the columns no field
    // pairs with are the missing fields.  The options still name FoxPro
    // fields.
    bool sideFirst = false;
};

// One paired field and column, for the report line
//   Column "price": 1000000 equal, 2 differ (N(10,2) as numeric)
struct SideColumnReport {
    std::string field;
    std::string column;
    std::int64_t equal = 0;
    std::int64_t differ = 0;
    std::string description;  // FieldColumn::description()
    // A text column shorter than its field: the declared length and the
    // FoxPro values longer than it.
    int narrowerLength = 0;
    std::string fieldDefinition;  // "C(40)"
    std::string columnType;       // "varchar(30)"
    std::int64_t cut = 0;
};

// The report line of one column:
//   Column "price": 1000000 equal, 2 differ (N(10,2) as numeric)
// with "; company C(40) → varchar(30): 12 values cut" for a narrower column.
std::string columnReportLine(const SideColumnReport& column);

struct SideDiffResult {
    std::vector<SideColumnReport> columns;     // in the FoxPro table's field order
    std::vector<std::string> unpairedColumns;  // side columns no field pairs with
    // With sideFirst, the FoxPro fields no column pairs with (the columns
    // no field pairs with are MissingField differences then).
    std::vector<std::string> unpairedFields;
    std::int64_t differences = 0;
    std::string pairing;  // "position" or "key fields: ID, CODE"
    // Side rows whose key a FoxPro record paired with before ("Key 7 is
    // not unique in the side: row 12").
    std::vector<std::string> notes;
};

// Compares the table with the side, handing each difference to found as it
// is met: by position in stream order; by key, changes and additions in the
// side's order, then the FoxPro records no row paired with.  Throws
// SideError when an option names a field or column that is not there, or
// the side cannot be read; FoxProError when the table cannot be.
SideDiffResult diffTableWithSide(const foxpro::TableReader& table, SideStream& side,
                                 const SideDiffOptions& options,
                                 const std::function<void(const SideDifference&)>& found);

}  // namespace quorvel::sides
