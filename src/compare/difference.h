#pragma once

#include <cstdint>
#include <string_view>

namespace quorvel::compare {

// The four kinds of difference the comparison finds.
enum class DifferenceKind : std::uint8_t {
    Changed,      // a field's values differ in a record pair
    Added,        // Table #2 has a record where Table #1 has none
    Deleted,      // Table #1 has a record where Table #2 has none
    MissingField  // a field of Table #1 that Table #2 lacks
};

// One difference as its list hands it out.  The texts are views into the
// list that holds it, valid until that list is changed or destroyed.
struct Difference {
    DifferenceKind kind = DifferenceKind::Changed;
    // Record numbers (1-based, deleted records not counted) in Table #1 and
    // Table #2; 0 where the kind has no record there (Added: no record1,
    // Deleted: no record2, a Missing-field line of key or content pairing,
    // which stands once for the tables: neither).
    std::int64_t record1 = 0;
    std::int64_t record2 = 0;
    // Changed and MissingField: the field's position in Table #1 (0-based)
    // and its name as Table #1 spells it; -1 and "" otherwise.
    int field = -1;
    std::string_view fieldName;
    // Changed: the value texts in Table #1 and Table #2 (a null value is
    // the empty text) and whether each value was null.
    std::string_view value1;
    std::string_view value2;
    bool null1 = false;
    bool null2 = false;
    // The name of Table #2 as it was chosen, which Added and Deleted lines give.
    std::string_view table2;
};

// The two lists of the windows and the report.
enum class LineList {
    FieldDifferences,  // "Field Differences": Changed and Missing-field differences
    AddedDeleted       // "Added / Deleted Records": Added and Deleted differences
};

// The list a difference belongs to, by its kind alone: what a table name,
// field name or value says plays no part.
inline LineList listOf(DifferenceKind kind) {
    return kind == DifferenceKind::Added || kind == DifferenceKind::Deleted
               ? LineList::AddedDeleted
               : LineList::FieldDifferences;
}

}  // namespace quorvel::compare
