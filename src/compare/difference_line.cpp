#include "compare/difference_line.h"

namespace quorvel::compare {

void appendLineText(std::string& out, const Difference& d) {
    if (d.kind == DifferenceKind::Changed)
        out.reserve(out.size() + 48 + d.fieldName.size() + d.value1.size() + d.value2.size());
    forEachLinePiece(d, [&out](std::string_view piece) { out += piece; });
}

std::string lineText(const Difference& difference) {
    std::string line;
    appendLineText(line, difference);
    return line;
}

}  // namespace quorvel::compare
