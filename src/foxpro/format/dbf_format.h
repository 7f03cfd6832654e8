#pragma once

// Byte layouts of .dbf tables and their .fpt / .dbt memo files, written down
// once for the reader and the writer.  All .dbf integers are little-endian;
// .fpt headers and block headers are big-endian.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foxpro/format/value.h"

namespace quorvel::foxpro::dbf {

// ---- Table header (32 bytes) ----
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kHeaderFileType = 0;
inline constexpr std::size_t kHeaderUpdateDate = 1;     // year - 1900, month, day
inline constexpr std::size_t kHeaderRecordCount = 4;    // uint32, deleted records included
inline constexpr std::size_t kHeaderLength = 8;         // uint16, offset of the first record
inline constexpr std::size_t kHeaderRecordLength = 10;  // uint16, delete flag included
inline constexpr std::size_t kHeaderTableFlags = 28;
inline constexpr std::size_t kHeaderCodePageMark = 29;

inline constexpr std::uint8_t kTableFlagCdx = 0x01;
inline constexpr std::uint8_t kTableFlagMemo = 0x02;
inline constexpr std::uint8_t kTableFlagContainer = 0x04;

// ---- Field descriptor (32 bytes each, after the header) ----
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr std::size_t kDescriptorName = 0;
inline constexpr std::size_t kDescriptorNameSize = 11;  // NUL-padded, 10 characters at most
inline constexpr std::size_t kDescriptorType = 11;
inline constexpr std::size_t kDescriptorOffset = 12;  // uint32, Visual FoxPro only
inline constexpr std::size_t kDescriptorLength = 16;
inline constexpr std::size_t kDescriptorDecimals = 17;
inline constexpr std::size_t kDescriptorFlags = 18;
inline constexpr std::size_t kDescriptorAutoNext = 19;  // uint32
inline constexpr std::size_t kDescriptorAutoStep = 23;

inline constexpr std::uint8_t kFieldFlagSystem = 0x01;
inline constexpr std::uint8_t kFieldFlagNullable = 0x02;
inline constexpr std::uint8_t kFieldFlagBinary = 0x04;
inline constexpr std::uint8_t kFieldFlagAutoIncrement = 0x0C;

inline constexpr std::uint8_t kDescriptorTerminator = 0x0D;
// Visual FoxPro tables follow the terminator with the relative path of the
// owning .dbc, NUL-padded (all NUL for a free table).
inline constexpr std::size_t kBacklinkSize = 263;

inline constexpr std::uint8_t kRecordLive = 0x20;
inline constexpr std::uint8_t kRecordDeleted = 0x2A;  // '*'
inline constexpr std::uint8_t kEndOfFile = 0x1A;

inline constexpr char kNullFlagsName[] = "_NullFlags";
inline constexpr char kNullFlagsLetter = '0';

// ---- File types (header byte 0) ----
enum class MemoKind { None, Fpt, Dbt3, Dbt4 };

struct FileTypeInfo {
    std::uint8_t code;
    const char* name;
    bool visualFoxPro;  // field offsets in descriptors, backlink, B/I/Y/T types, _NullFlags
    MemoKind memo;      // which memo file the table's M fields refer to
};

inline constexpr FileTypeInfo kFileTypes[] = {
    {0x03, "dBase III", false, MemoKind::None},
    {0x30, "Visual FoxPro", true, MemoKind::Fpt},
    {0x31, "Visual FoxPro with autoincrement", true, MemoKind::Fpt},
    {0x32, "Visual FoxPro with varchar", true, MemoKind::Fpt},
    {0x83, "dBase III with memo", false, MemoKind::Dbt3},
    {0x8B, "dBase IV with memo", false, MemoKind::Dbt4},
    {0xF5, "FoxPro 2.x with memo", false, MemoKind::Fpt},
    {0xFB, "FoxBASE", false, MemoKind::Dbt3},
};

// Null for a first byte that is no supported table type.
inline const FileTypeInfo* fileTypeInfo(std::uint8_t code) {
    for (const auto& t : kFileTypes)
        if (t.code == code) return &t;
    return nullptr;
}

inline bool isVisualFoxPro(std::uint8_t fileType) {
    return fileType == 0x30 || fileType == 0x31 || fileType == 0x32;
}

// Formats recognised only to be refused with their name.
inline const char* refusedFormatName(std::uint8_t code) {
    switch (code) {
        case 0x02:
            return "dBase II";
        case 0x04:  // dBase 7 without memo: 48-byte descriptors, a language-driver name
        case 0x8C:  // dBase 7 with memo
            return "dBase 7";
        default:
            return nullptr;
    }
}

// ---- Memo files ----
inline constexpr std::size_t kFptHeaderSize = 512;
inline constexpr std::size_t kFptNextFreeBlock = 0;    // uint32 big-endian
inline constexpr std::size_t kFptBlockSize = 6;        // uint16 big-endian
inline constexpr std::size_t kFptBlockHeaderSize = 8;  // type (BE32) + length (BE32)
inline constexpr std::uint32_t kFptTypePicture = 0;
inline constexpr std::uint32_t kFptTypeText = 1;
inline constexpr std::uint16_t kFptDefaultBlockSize = 64;

inline constexpr std::size_t kDbtBlockSize = 512;
inline constexpr std::size_t kDbtNextFreeBlock = 0;  // uint32 little-endian
inline constexpr std::size_t kDbt4BlockSize = 20;    // uint16 little-endian (dBase IV)
inline constexpr std::uint8_t kDbt4Marker[4] = {0xFF, 0xFF, 0x08, 0x00};
inline constexpr std::size_t kDbt4BlockHeaderSize = 8;  // marker + LE32 length (header included)

// Width of a memo reference in the record: Visual FoxPro stores a 4-byte
// block number, the older formats 10 ASCII digits.
inline constexpr int kMemoRefBinaryWidth = 4;
inline constexpr int kMemoRefTextWidth = 10;

// ---- Code page marks (header byte 29) ----
struct CodePageMark {
    std::uint8_t mark;
    int codePage;
};

// The dBase / FoxPro language-driver table.  Visual FoxPro's own marks come
// first, so that a writer looking for a code page's mark finds the one
// Visual FoxPro writes (0x65 for 866, not dBase's 0x26).
inline constexpr CodePageMark kCodePageMarks[] = {
    // Visual FoxPro's marks
    {0x03, 1252},   // Windows ANSI
    {0x01, 437},    // U.S. MS-DOS
    {0x02, 850},    // International MS-DOS
    {0x04, 10000},  // Standard Macintosh
    {0x64, 852},    // Eastern European MS-DOS
    {0x65, 866},    // Russian MS-DOS
    {0x66, 865},    // Nordic MS-DOS
    {0x67, 861},    // Icelandic MS-DOS
    {0x68, 895},    // Kamenicky (Czech) MS-DOS
    {0x69, 620},    // Mazovia (Polish) MS-DOS
    {0x6A, 737},    // Greek MS-DOS (437G)
    {0x6B, 857},    // Turkish MS-DOS
    {0x6C, 863},    // French-Canadian MS-DOS
    {0x78, 950},    // Traditional Chinese Windows
    {0x79, 949},    // Korean Windows
    {0x7A, 936},    // Simplified Chinese Windows
    {0x7B, 932},    // Japanese Windows
    {0x7C, 874},    // Thai Windows
    {0x7D, 1255},   // Hebrew Windows
    {0x7E, 1256},   // Arabic Windows
    {0x96, 10007},  // Russian Macintosh
    {0x97, 10029},  // Eastern European Macintosh
    {0x98, 10006},  // Greek Macintosh
    {0xC8, 1250},   // Eastern European Windows
    {0xC9, 1251},   // Russian Windows
    {0xCA, 1254},   // Turkish Windows
    {0xCB, 1253},   // Greek Windows
    {0xCC, 1257},   // Baltic Windows
    // dBase language drivers
    {0x08, 865},   // Danish OEM
    {0x09, 437},   // Dutch OEM
    {0x0A, 850},   // Dutch OEM (secondary)
    {0x0B, 437},   // Finnish OEM
    {0x0D, 437},   // French OEM
    {0x0E, 850},   // French OEM (secondary)
    {0x0F, 437},   // German OEM
    {0x10, 850},   // German OEM (secondary)
    {0x11, 437},   // Italian OEM
    {0x12, 850},   // Italian OEM (secondary)
    {0x13, 932},   // Japanese Shift-JIS
    {0x14, 850},   // Spanish OEM (secondary)
    {0x15, 437},   // Swedish OEM
    {0x16, 850},   // Swedish OEM (secondary)
    {0x17, 865},   // Norwegian OEM
    {0x18, 437},   // Spanish OEM
    {0x19, 437},   // English OEM (Britain)
    {0x1A, 850},   // English OEM (Britain) (secondary)
    {0x1B, 437},   // English OEM (U.S.)
    {0x1C, 863},   // French OEM (Canada)
    {0x1D, 850},   // French OEM (secondary)
    {0x1F, 852},   // Czech OEM
    {0x22, 852},   // Hungarian OEM
    {0x23, 852},   // Polish OEM
    {0x24, 860},   // Portuguese OEM
    {0x25, 850},   // Portuguese OEM (secondary)
    {0x26, 866},   // Russian OEM
    {0x37, 850},   // English OEM (U.S.) (secondary)
    {0x40, 852},   // Romanian OEM
    {0x4D, 936},   // Chinese GBK (PRC)
    {0x4E, 949},   // Korean (ANSI/OEM)
    {0x4F, 950},   // Chinese Big5 (Taiwan)
    {0x50, 874},   // Thai (ANSI/OEM)
    {0x57, 1252},  // ANSI
    {0x58, 1252},  // Western European ANSI
    {0x59, 1252},  // Spanish ANSI
    {0x86, 737},   // Greek OEM
    {0x87, 852},   // Slovenian OEM
    {0x88, 857},   // Turkish OEM
};

// Code page 0: no known code page; text is read byte for byte as the first
// 256 Unicode characters.
inline constexpr int kCodePageUnknown = 0;

// The code page the mark names; mark 0 names none (the caller decides: a
// .cpg file, the text itself, or the format's default).  An unlisted mark
// gives kCodePageUnknown.
inline int codePageOfMark(std::uint8_t mark) {
    for (const auto& m : kCodePageMarks)
        if (m.mark == mark) return m.codePage;
    return kCodePageUnknown;
}

// What an unmarked table is read as when nothing else tells: Visual FoxPro
// tables are 1252, the older formats 437.
inline int defaultCodePage(std::uint8_t fileType) {
    return isVisualFoxPro(fileType) ? 1252 : 437;
}

// The code page a table's text is decoded from by its mark alone.
inline int codePageOfMark(std::uint8_t mark, std::uint8_t fileType) {
    return mark == 0 ? defaultCodePage(fileType) : codePageOfMark(mark);
}

// The mark a writer puts at offset 29 for a code page (0 when none fits).
inline std::uint8_t markOfCodePage(int codePage) {
    for (const auto& m : kCodePageMarks)
        if (m.codePage == codePage) return m.mark;
    return 0;
}

// ---- Field types ----
inline bool isKnownFieldLetter(char letter) {
    switch (letter) {
        case 'C':
        case 'V':
        case 'Q':
        case 'N':
        case 'F':
        case 'D':
        case 'T':
        case 'L':
        case 'I':
        case 'B':
        case 'Y':
        case 'M':
        case 'G':
        case 'W':
        case 'P':
        case '0':
            return true;
        default:
            return false;
    }
}

// True when the record holds a memo-file reference, not the value.  A B
// field is a double in Visual FoxPro and a memo reference elsewhere.
inline bool isMemoLetter(char letter, std::uint8_t fileType) {
    switch (letter) {
        case 'M':
        case 'G':
        case 'W':
        case 'P':
            return true;
        case 'B':
            return !isVisualFoxPro(fileType);
        default:
            return false;
    }
}

// The type code the data source reports for a field.
inline int typeCodeOf(char letter, std::uint8_t fileType) {
    switch (letter) {
        case 'C':
            return kTypeChar;
        case 'V':
            return kTypeVarChar;
        case 'M':
            return kTypeLongVarChar;
        case 'N':
        case 'F':
            return kTypeNumeric;
        case 'I':
            return kTypeInteger;
        case 'B':
            return isVisualFoxPro(fileType) ? kTypeDouble : kTypeLongVarBinary;
        case 'Y':
            return kTypeCurrency;
        case 'D':
            return kTypeDate;
        case 'T':
            return kTypeTimestamp;
        case 'L':
            return kTypeBoolean;
        case 'Q':
            return kTypeVarBinary;
        default:
            return kTypeLongVarBinary;  // G, W, P
    }
}

// T fields: Julian day number of 1970-01-01.
inline constexpr std::int64_t kJulianDay1970 = 2440588;

// ---- Integer helpers ----
inline std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}
inline std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline void putLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putLe64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void putBe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}

}  // namespace quorvel::foxpro::dbf
