#pragma once

#include <string_view>

namespace quorvel::compare {

// The two lists that difference lines are sorted into.
enum class LineList {
    FieldDifferences,  // "Field Differences": Changed and Missing-field lines
    AddedDeleted       // "Added / Deleted Records": Added and Deleted lines
};

// The sorting rule of the windows and the report: a line that contains
// "added" or contains "deleted" (plain, case-sensitive substring search)
// belongs to the added/deleted list, every other line to the field
// differences.  A Changed line about a field named isdeleted therefore goes
// to the added/deleted list, one about DELETED does not.
inline bool isAddedOrDeletedLine(std::string_view line) {
    return line.find("added") != std::string_view::npos ||
           line.find("deleted") != std::string_view::npos;
}

inline LineList listOfLine(std::string_view line) {
    return isAddedOrDeletedLine(line) ? LineList::AddedDeleted : LineList::FieldDifferences;
}

}  // namespace quorvel::compare
