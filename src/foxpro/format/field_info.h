#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// One visible field of a table as a record set lists it (the hidden
// _NullFlags column is never listed).
struct FieldInfo {
    std::string name;   // UTF-8; the container's long name for a table of a .dbc
    char letter = 'C';  // type letter of the table (C, V, Q, N, F, D, T, L, I, B, Y, M, G, W, P)
    int typeCode = kTypeChar;  // TypeCode as the data source reports it
    int width = 0;             // bytes in the record
    int decimals = 0;
    int offset = 0;         // offset in the record, the delete flag at 0
    bool nullable = false;  // flag 0x02
    bool binary = false;    // flag 0x04 (no code-page translation)
    bool memo = false;      // M, G, W, P and a dBase B: the record holds a block reference
    int nullBit = -1;       // bit in _NullFlags, -1 when none
    int varLengthBit = -1;  // V/Q "shorter than the width" bit, -1 when none
    // The name as the header stores it: the ten characters a free copy of a
    // container's table keeps, made unique by the program that wrote them,
    // so not always the long name cut short.  "" where no header says.
    std::string storedName;
};

// What the comparison needs to recognise equal records without decoding
// them: two records of tables whose layouts are equal (same fields, widths,
// offsets, code page) hold equal values when their bytes are equal, memo
// fields aside (their bytes are block numbers, not contents).
struct TableLayout {
    int fileType = 0;      // header byte 0
    int codePage = 0;      // Windows code page number the text is decoded from
    int recordLength = 0;  // delete flag included
    int nullFlagsOffset = -1;
    int nullFlagsWidth = 0;
    std::vector<FieldInfo> fields;

    bool hasMemo() const {
        for (const auto& f : fields)
            if (f.memo) return true;
        return false;
    }
};

// True when records of the two layouts can be compared byte for byte.
bool sameLayout(const TableLayout& a, const TableLayout& b);

}  // namespace quorvel::foxpro
