#include "compare/difference_line.h"

#include <charconv>

namespace quorvel::compare {

namespace {

// Appends n in decimal digits: no sign, grouping or leading zeros.
void appendNumber(std::string& out, std::int64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
}

}  // namespace

void appendLineText(std::string& out, const Difference& d) {
    switch (d.kind) {
        case DifferenceKind::Deleted:
            out += "Record ";
            appendNumber(out, d.record1);
            out += " deleted from ";
            out += d.table2;
            return;
        case DifferenceKind::Added:
            out += "Record ";
            appendNumber(out, d.record2);
            out += " added to ";
            out += d.table2;
            return;
        case DifferenceKind::Changed:
            out.reserve(out.size() + 48 + d.fieldName.size() + d.value1.size() + d.value2.size());
            out += "Record ";
            appendNumber(out, d.record1);
            out += ", Field \"";
            out += d.fieldName;
            out += "\" has changed from \"";
            out += d.value1;
            out += "\" to \"";
            out += d.value2;
            out += '"';
            return;
        case DifferenceKind::MissingField:
            out += " Field \"";
            out += d.fieldName;
            out += "\" not exist ";
            return;
    }
}

std::string lineText(const Difference& difference) {
    std::string line;
    appendLineText(line, difference);
    return line;
}

}  // namespace quorvel::compare
