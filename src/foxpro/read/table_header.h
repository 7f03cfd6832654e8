#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foxpro/format/field_info.h"

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

// Where the code page a table's text is read in comes from.
enum class CodePageOrigin {
    Mark,      // the header's code page mark
    Chosen,    // the user's choice for the tables of a source
    CpgFile,   // a .cpg file beside an unmarked table
    Utf8Text,  // an unmarked table whose non-ASCII text is all UTF-8
    Default,   // unmarked: 1252 for Visual FoxPro, 437 for the older formats
};

// A code page decided outside the header (codePage 0: the header decides).
struct CodePageSetting {
    int codePage = 0;
    CodePageOrigin origin = CodePageOrigin::Chosen;
};

// What the header of a .dbf says, checked against itself and the file size.
struct TableHeader {
    std::uint8_t fileType = 0;
    std::uint8_t codePageMark = 0;
    std::uint8_t tableFlags = 0;
    // False when the code page names none the system can convert: the
    // table's text is then read byte for byte.
    bool codePageConvertible = true;
    CodePageOrigin codePageOrigin = CodePageOrigin::Mark;
    // Default origin only: the text looked at for a code page holds bytes
    // above 0x7F, which the default may well read as the wrong letters.
    bool nonAsciiText = false;
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
// container's long names); codePage, when it names one, overrides the mark.
// Throws FoxProError(kErrorFile, "<fileName>: <problem>") for a header that
// cannot be read.
TableHeader parseTableHeader(std::span<const std::uint8_t> file, const std::string& fileName,
                             std::vector<std::string> longNames,
                             const CodePageSetting& codePage = {});

}  // namespace quorvel::foxpro
