#include "wizard/hex_view.h"

#include <algorithm>
#include <array>

#include "wizard/line_filter.h"

namespace quorvel::wizard {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Bit k set where byte k of the row differs.
std::uint32_t rowDifferences(std::string_view a, std::string_view b) {
    std::uint32_t differ = 0;
    for (std::size_t k = 0; k < kHexRowBytes; ++k) {
        const bool inA = k < a.size(), inB = k < b.size();
        if (inA != inB || (inA && a[k] != b[k])) differ |= std::uint32_t{1} << k;
    }
    return differ;
}

std::string_view rowOf(std::string_view bytes, std::size_t offset) {
    return offset < bytes.size() ? bytes.substr(offset, kHexRowBytes) : std::string_view();
}

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char ch : bytes)
        crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string byteSummary(std::string_view bytes) {
    const std::uint32_t crc = crc32(bytes);
    std::string hex(8, '0');
    for (int k = 0; k < 8; ++k)
        hex[static_cast<std::size_t>(7 - k)] = kHexDigits[(crc >> (4 * k)) & 0xF];
    return groupedNumber(static_cast<std::int64_t>(bytes.size())) +
           (bytes.size() == 1 ? " byte" : " bytes") + ", CRC-32 " + hex;
}

std::string hexBytes(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i > 0) out += ' ';
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0xF];
    }
    return out;
}

std::string printableBytes(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += b >= 0x20 && b < 0x7F ? ch : '.';
    }
    return out;
}

HexDump hexDump(std::string_view bytes1, std::string_view bytes2) {
    HexDump dump;
    dump.summary1 = byteSummary(bytes1);
    dump.summary2 = byteSummary(bytes2);
    if (bytes1.size() > kHexViewLimit || bytes2.size() > kHexViewLimit) {
        dump.digestOnly = true;
        return dump;
    }
    const std::size_t rows =
        (std::max(bytes1.size(), bytes2.size()) + kHexRowBytes - 1) / kHexRowBytes;
    std::vector<std::uint32_t> differ(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        differ[r] =
            rowDifferences(rowOf(bytes1, r * kHexRowBytes), rowOf(bytes2, r * kHexRowBytes));
        for (std::uint32_t bits = differ[r]; bits != 0; bits &= bits - 1) ++dump.differing;
    }
    // The rows within kHexContextRows of a differing one; every row when
    // nothing differs (two values equal byte for byte are shown whole).
    std::size_t shownEnd = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const bool near = [&] {
            if (dump.differing == 0) return true;
            const std::size_t from = r >= kHexContextRows ? r - kHexContextRows : 0;
            const std::size_t to = std::min(rows, r + kHexContextRows + 1);
            for (std::size_t k = from; k < to; ++k)
                if (differ[k] != 0) return true;
            return false;
        }();
        if (!near) continue;
        HexRow row;
        row.offset = r * kHexRowBytes;
        row.bytes1 = rowOf(bytes1, row.offset);
        row.bytes2 = rowOf(bytes2, row.offset);
        row.differ = differ[r];
        row.skipped = r - shownEnd;
        dump.rows.push_back(row);
        shownEnd = r + 1;
    }
    return dump;
}

}  // namespace quorvel::wizard
