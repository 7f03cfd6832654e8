#pragma once

#include <charconv>
#include <string>
#include <string_view>

#include "compare/difference.h"

namespace quorvel::compare {

// The line text of a difference, the one form in which lists, report and
// command-line tool show it, built by plain concatenation with nothing
// before or after it:
//   Deleted        "Record " + record1 + " deleted from " + table2
//   Added          "Record " + record2 + " added to " + table2
//   Changed        "Record " + record1 + ", Field \"" + field + "\" has changed from \""
//                  + value1 + "\" to \"" + value2 + "\""
//   Missing field  " Field \"" + field + "\" not exist "
// Names and values are written unchanged: a double quote inside them is not
// escaped.  Code that needs the kind, record or field asks the Difference,
// never this text.
std::string lineText(const Difference& difference);

// The same appended to out (the report builds one text of many lines).
void appendLineText(std::string& out, const Difference& difference);

// The same handed to piece(std::string_view) in order, the names and values
// as views of the difference's own texts: a writer that streams a value of
// many megabytes never needs a second copy of it.
template <typename Piece>
void forEachLinePiece(const Difference& d, Piece&& piece) {
    const auto number = [&](std::int64_t n) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        piece(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    };
    switch (d.kind) {
        case DifferenceKind::Deleted:
            piece("Record ");
            number(d.record1);
            piece(" deleted from ");
            piece(d.table2);
            return;
        case DifferenceKind::Added:
            piece("Record ");
            number(d.record2);
            piece(" added to ");
            piece(d.table2);
            return;
        case DifferenceKind::Changed:
            piece("Record ");
            number(d.record1);
            piece(", Field \"");
            piece(d.fieldName);
            piece("\" has changed from \"");
            piece(d.value1);
            piece("\" to \"");
            piece(d.value2);
            piece("\"");
            return;
        case DifferenceKind::MissingField:
            piece(" Field \"");
            piece(d.fieldName);
            piece("\" not exist ");
            return;
    }
}

}  // namespace quorvel::compare
