#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foxpro/format/field_info.h"

namespace quorvel::compare {

// How the structures of the two tables differ, beyond the fields of Table #1
// that Table #2 lacks (the Missing-field lines tell those).
enum class StructureKind : std::uint8_t {
    OnlyInTable2,      // a field of Table #2 that no field of Table #1 pairs with
    DefinitionChanged  // a field pair whose type letter, width or decimals differ
};

struct StructureDifference {
    StructureKind kind = StructureKind::OnlyInTable2;
    std::string field;    // Table #1's spelling, or Table #2's for OnlyInTable2
    std::string oldType;  // fieldTypeText of Table #1's field; empty for OnlyInTable2
    std::string newType;  // fieldTypeText of Table #2's field
};

// A field's definition as the structure lines write it: the type letter,
// then the width where the type has one of its own choosing and the
// decimals where it has them: "C(10)", "N(10,2)", "F(8,3)", "V(20)", "M",
// "I", "D", "B".
std::string fieldTypeText(const foxpro::FieldInfo& field);

// The line of a structure difference:
//   OnlyInTable2       "Field \"" + field + "\" is only in Table #2 (" + table2 + ")"
//   DefinitionChanged  "Field \"" + field + "\" changed from " + oldType + " to " + newType
std::string structureLineText(const StructureDifference& difference, std::string_view table2);

}  // namespace quorvel::compare
