#include "compare/structure_difference.h"

namespace quorvel::compare {

std::string fieldTypeText(const foxpro::FieldInfo& field) {
    std::string text(1, field.letter);
    switch (field.letter) {
        case 'C':
        case 'V':
        case 'Q':
            text += '(' + std::to_string(field.width) + ")";
            break;
        case 'N':
        case 'F':
            text += '(' + std::to_string(field.width) + "," + std::to_string(field.decimals) + ")";
            break;
        default:
            // The width is the type's own (a memo's block number, a date's
            // eight digits); a double's decimals only say how it is shown.
            break;
    }
    return text;
}

std::string structureLineText(const StructureDifference& difference, std::string_view table2) {
    std::string line = "Field \"" + difference.field + "\" ";
    if (difference.kind == StructureKind::OnlyInTable2) {
        // Both tables often share a name: the side says which one.
        line += "is only in Table #2 (";
        line += table2;
        line += ")";
    } else {
        line += "changed from " + difference.oldType + " to " + difference.newType;
    }
    return line;
}

}  // namespace quorvel::compare
