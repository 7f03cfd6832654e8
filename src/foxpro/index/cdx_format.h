#pragma once

// Byte layout of a structural compound index (.cdx), written down once for
// the reader and the writer.  The file is made of 512-byte pages; integers
// are little-endian except the record and child numbers of interior nodes.
// Points marked "seen" were checked against indexes Visual FoxPro wrote.

#include <cstddef>
#include <cstdint>

#include "foxpro/format/dbf_format.h"

namespace quorvel::foxpro::cdx {

inline constexpr std::size_t kPageSize = 512;

// ---- Tag header (two pages) ----
// The tag directory at offset 0 is a tag header too: a compact index whose
// keys are the tag names and whose record numbers are the offsets of the
// tags' headers (seen).
inline constexpr std::size_t kTagHeaderSize = 1024;
inline constexpr std::size_t kHeaderRoot = 0;        // int32, offset of the root node
inline constexpr std::size_t kHeaderFreeList = 4;    // int32, Visual FoxPro writes 0 (seen)
inline constexpr std::size_t kHeaderVersion = 8;     // uint32, a change counter
inline constexpr std::size_t kHeaderKeyLength = 12;  // uint16
inline constexpr std::size_t kHeaderOptions = 14;
inline constexpr std::size_t kHeaderSignature = 15;   // 1 (seen)
inline constexpr std::size_t kHeaderCollation = 494;  // name, NUL-padded; empty: machine
inline constexpr std::size_t kHeaderCollationSize = 8;
inline constexpr std::size_t kHeaderDescending = 502;     // uint16, non-zero: descending
inline constexpr std::size_t kHeaderForPosition = 504;    // uint16, in the expression pool
inline constexpr std::size_t kHeaderForLength = 506;      // uint16, NUL included
inline constexpr std::size_t kHeaderKeyPosition = 508;    // uint16
inline constexpr std::size_t kHeaderKeyExprLength = 510;  // uint16, NUL included
inline constexpr std::size_t kHeaderExpressions = 512;    // the pool: key, NUL, FOR, NUL
inline constexpr std::size_t kExpressionPoolSize = 512;
inline constexpr std::uint8_t kSignature = 1;

// Options (header byte 14).
inline constexpr std::uint8_t kOptionUnique = 0x01;
inline constexpr std::uint8_t kOptionNullKeys = 0x02;  // keys carry the null prefix
inline constexpr std::uint8_t kOptionCandidate = 0x04;
inline constexpr std::uint8_t kOptionFor = 0x08;
inline constexpr std::uint8_t kOptionCompact = 0x20;
inline constexpr std::uint8_t kOptionCompound = 0x40;
inline constexpr std::uint8_t kOptionDirectory = 0x80;
inline constexpr std::uint8_t kDirectoryOptions =
    kOptionDirectory | kOptionCompound | kOptionCompact;
inline constexpr std::uint8_t kTagOptions = kOptionCompound | kOptionCompact;

inline constexpr std::size_t kTagNameLength = 10;  // the directory's key length
inline constexpr int kMaxKeyLength = 240;

// Keys of a nullable expression: 0x80 before a value, all zero for null.
inline constexpr std::uint8_t kNotNullPrefix = 0x80;

// ---- Nodes (one page each) ----
inline constexpr std::size_t kNodeAttributes = 0;  // uint16
inline constexpr std::size_t kNodeKeyCount = 2;    // uint16
inline constexpr std::size_t kNodeLeft = 4;        // int32, -1 none
inline constexpr std::size_t kNodeRight = 8;       // int32, -1 none
inline constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;

inline constexpr std::uint16_t kNodeInterior = 0;
inline constexpr std::uint16_t kNodeRoot = 1;
inline constexpr std::uint16_t kNodeLeaf = 2;
// A tag's root that is a leaf carries 4 as well; the directory's does not
// (both seen).  Readers look at the two low bits only.
inline constexpr std::uint16_t kNodeTagRootLeaf = 7;
inline constexpr std::uint16_t kNodeKindMask = 3;

// Interior: from byte 12, entries of the key, then the record number and
// the child node's offset, both big-endian.  Each entry's key and record
// are those of the last key beneath its child.
inline constexpr std::size_t kInteriorEntries = 12;
inline constexpr std::size_t interiorEntrySize(std::size_t keyLength) {
    return keyLength + 8;
}
inline constexpr std::size_t interiorCapacity(std::size_t keyLength) {
    return (kPageSize - kInteriorEntries) / interiorEntrySize(keyLength);
}

// Leaf: a packed entry per key from byte 24, each a little-endian integer
// of entryBytes bytes: record | dup << recordBits | trail << (recordBits +
// countBits).  The keys' new bytes are stored from the end of the page
// backwards.  A key is the first dup bytes of the key before it, its new
// bytes, then trail fill bytes (blanks for character keys, NULs for the
// others) (seen).
inline constexpr std::size_t kLeafFree = 12;        // uint16, bytes unused
inline constexpr std::size_t kLeafRecordMask = 14;  // uint32
inline constexpr std::size_t kLeafDupMask = 18;
inline constexpr std::size_t kLeafTrailMask = 19;
inline constexpr std::size_t kLeafRecordBits = 20;
inline constexpr std::size_t kLeafDupBits = 21;
inline constexpr std::size_t kLeafTrailBits = 22;
inline constexpr std::size_t kLeafEntryBytes = 23;
inline constexpr std::size_t kLeafEntries = 24;
inline constexpr std::size_t kLeafSpace = kPageSize - kLeafEntries;
inline constexpr int kMaxEntryBytes = 8;

// Bits that hold the numbers 0..value.
inline constexpr int bitsFor(std::uint64_t value) {
    int bits = 0;
    for (; value != 0; value >>= 1) ++bits;
    return bits;
}

// How a leaf packs its entries.  Visual FoxPro gives the duplicate and
// trail counts the bits that hold the key length, and the record number
// what is left of the fewest whole bytes that hold the node's highest
// record number (seen: key length 4 and records up to 2 in one byte, up
// to 16 in two with 10 record bits; key length 50, 3 records, 4 record
// bits).
struct LeafPacking {
    int recordBits = 0;
    int countBits = 0;  // duplicate and trail counts alike
    int entryBytes = 0;

    std::uint32_t recordMask() const {
        return recordBits >= 32 ? 0xFFFFFFFFu : (1u << recordBits) - 1;
    }
    std::uint8_t countMask() const { return static_cast<std::uint8_t>((1u << countBits) - 1); }

    std::uint64_t pack(std::uint32_t record, std::size_t dup, std::size_t trail) const {
        return record | (static_cast<std::uint64_t>(dup) << recordBits) |
               (static_cast<std::uint64_t>(trail) << (recordBits + countBits));
    }
};

inline LeafPacking leafPacking(std::size_t keyLength, std::uint32_t highestRecord) {
    LeafPacking p;
    p.countBits = bitsFor(keyLength);
    const int needed = bitsFor(highestRecord) + 2 * p.countBits;
    p.entryBytes = (needed + 7) / 8;
    if (p.entryBytes < 1) p.entryBytes = 1;
    p.recordBits = p.entryBytes * 8 - 2 * p.countBits;
    if (p.recordBits > 32) p.recordBits = 32;
    return p;
}

// Entries are little-endian integers of entryBytes bytes.
inline std::uint64_t readEntry(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
inline void writeEntry(std::uint8_t* p, int bytes, std::uint64_t v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

using dbf::be32;
using dbf::le16;
using dbf::le32;
using dbf::putBe32;
using dbf::putLe16;
using dbf::putLe32;

}  // namespace quorvel::foxpro::cdx
