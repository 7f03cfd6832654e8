#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::wizard {

// Binary values (general, blob and varbinary fields) as the record detail
// shows them: rows of 16 bytes of both values side by side, the bytes that
// differ marked, only the rows around differences; values over 1 MB by their
// size and checksum alone.
inline constexpr std::size_t kHexRowBytes = 16;
inline constexpr std::size_t kHexViewLimit = std::size_t{1} << 20;
// Equal rows shown before and after a differing one.
inline constexpr std::size_t kHexContextRows = 2;

struct HexRow {
    std::size_t offset = 0;
    // The row's bytes of each value (fewer at its end, none past it).
    std::string_view bytes1;
    std::string_view bytes2;
    // Bit k: byte offset + k differs (or only one value has it).
    std::uint32_t differ = 0;
    // Equal rows left out before this one.
    std::size_t skipped = 0;
};

struct HexDump {
    // Either value is over kHexViewLimit: no rows, only the summaries.
    bool digestOnly = false;
    std::string summary1;  // "1,234,567 bytes, CRC-32 1A2B3C4D"
    std::string summary2;
    std::vector<HexRow> rows;
    std::size_t differing = 0;  // bytes that differ
};

HexDump hexDump(std::string_view bytes1, std::string_view bytes2);

// "41 42 0A" (upper-case digits, blanks between) and "AB." (printable ASCII,
// '.' for the rest).
std::string hexBytes(std::string_view bytes);
std::string printableBytes(std::string_view bytes);

// The CRC-32 of zlib and PNG.
std::uint32_t crc32(std::string_view bytes);
std::string byteSummary(std::string_view bytes);

}  // namespace quorvel::wizard
