#include "foxpro/format/field_info.h"

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"

namespace quorvel::foxpro {

bool sameLayout(const TableLayout& a, const TableLayout& b) {
    // Visual FoxPro types 0x30..0x32 store values alike; the older formats
    // differ in what a B field holds and how memo references are written.
    if (dbf::isVisualFoxPro(static_cast<std::uint8_t>(a.fileType)) !=
        dbf::isVisualFoxPro(static_cast<std::uint8_t>(b.fileType)))
        return false;
    if (a.codePage != b.codePage || a.recordLength != b.recordLength ||
        a.nullFlagsOffset != b.nullFlagsOffset || a.nullFlagsWidth != b.nullFlagsWidth ||
        a.fields.size() != b.fields.size())
        return false;
    for (std::size_t i = 0; i < a.fields.size(); ++i) {
        const FieldInfo& x = a.fields[i];
        const FieldInfo& y = b.fields[i];
        if (!equalsNoCase(x.name, y.name) || x.letter != y.letter || x.typeCode != y.typeCode ||
            x.width != y.width || x.decimals != y.decimals || x.offset != y.offset ||
            x.nullable != y.nullable || x.binary != y.binary || x.memo != y.memo ||
            x.nullBit != y.nullBit || x.varLengthBit != y.varLengthBit)
            return false;
    }
    return true;
}

}  // namespace quorvel::foxpro
