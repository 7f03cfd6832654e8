#include "compare/difference_line.h"

namespace quorvel::compare {

namespace {

// Appends n in decimal digits: no sign, grouping or leading zeros.
void appendNumber(std::string& out, std::int64_t n) {
    out += std::to_string(n);
}

}  // namespace

std::string deletedLine(std::int64_t n, std::string_view table2) {
    std::string line = "Record ";
    appendNumber(line, n);
    line += " deleted from ";
    line += table2;
    return line;
}

std::string addedLine(std::int64_t n, std::string_view table2) {
    std::string line = "Record ";
    appendNumber(line, n);
    line += " added to ";
    line += table2;
    return line;
}

std::string changedLine(std::int64_t n, std::string_view field, std::string_view v1,
                        std::string_view v2) {
    std::string line;
    line.reserve(48 + field.size() + v1.size() + v2.size());
    line += "Record ";
    appendNumber(line, n);
    line += ", Field \"";
    line += field;
    line += "\" has changed from \"";
    line += v1;
    line += "\" to \"";
    line += v2;
    line += '"';
    return line;
}

std::string missingFieldLine(std::string_view field) {
    std::string line = " Field \"";
    line += field;
    line += "\" not exist ";
    return line;
}

}  // namespace quorvel::compare
