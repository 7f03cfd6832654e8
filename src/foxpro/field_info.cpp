#include "foxpro/field_info.h"

#include "foxpro/dbf_format.h"

namespace quorvel::foxpro {

namespace {
bool sameNameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}
}  // namespace

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
        if (!sameNameNoCase(x.name, y.name) || x.letter != y.letter || x.typeCode != y.typeCode ||
            x.width != y.width || x.decimals != y.decimals || x.offset != y.offset ||
            x.nullable != y.nullable || x.binary != y.binary || x.memo != y.memo ||
            x.nullBit != y.nullBit || x.varLengthBit != y.varLengthBit)
            return false;
    }
    return true;
}

}  // namespace quorvel::foxpro
