#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foxpro/field_info.h"

namespace quorvel::foxpro {

// One field descriptor as stored, hidden system fields (_NullFlags)
// included: what a writer copies to build a table of the same structure.
struct FieldDescriptor {
    std::string name;  // stored name (UTF-8), not the container's long name
    char letter = 'C';
    int offset = 0;  // in the record, delete flag at 0
    int width = 0;
    int decimals = 0;
    std::uint8_t flags = 0;
    std::uint32_t autoNext = 0;
    std::uint8_t autoStep = 0;
    std::array<std::uint8_t, 32> raw{};  // the 32 descriptor bytes as stored
};

// What the header of a .dbf says, checked against itself and the file size.
struct TableHeader {
    std::uint8_t fileType = 0;
    std::uint8_t codePageMark = 0;
    std::uint8_t tableFlags = 0;
    // False when the code page mark names no code page the C library can
    // convert: the table's text is then read byte for byte.
    bool codePageConvertible = true;
    int headerLength = 0;
    // The visible fields (no _NullFlags) with null and varlength bits.
    TableLayout layout;
    // Every stored descriptor, system fields included, in stored order.
    std::vector<FieldDescriptor> descriptors;
    // Things tolerated ("header says 10 records but the file holds 8"),
    // each naming the file.
    std::vector<std::string> warnings;
    // Records the file holds whole: the smaller of the header's count and
    // what the file size allows.
    std::int64_t storedCount = 0;
};

// Parses and validates the header and field descriptors at the start of
// file (the whole file, or at least its header when the record count is
// not needed), so that reading a record never touches bytes outside it.
// longNames, when not empty, renames the visible fields in order (a
// container's long names).  Throws FoxProError(kErrorFile, "<fileName>:
// <problem>") for a header that cannot be read.
TableHeader parseTableHeader(std::span<const std::uint8_t> file, const std::string& fileName,
                             std::vector<std::string> longNames);

}  // namespace quorvel::foxpro
