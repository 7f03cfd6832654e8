#include "foxpro/index/key_case.h"

#include <string>

#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

namespace {

// The simple one-to-one case pairs of the alphabets single-byte code pages
// hold: Latin-1, Latin Extended-A, Greek and Cyrillic.  Returns c when it
// has no partner.
char32_t otherCase(char32_t c, bool toUpper) {
    auto pair = [&](char32_t lowerFirst, char32_t lowerLast, char32_t upperFirst) -> char32_t {
        const char32_t upperLast = upperFirst + (lowerLast - lowerFirst);
        if (toUpper && c >= lowerFirst && c <= lowerLast) return upperFirst + (c - lowerFirst);
        if (!toUpper && c >= upperFirst && c <= upperLast) return lowerFirst + (c - upperFirst);
        return 0;
    };
    // Runs where upper and lower case alternate (upper first when
    // upperEven).
    auto alternating = [&](char32_t first, char32_t last, bool upperEven) -> char32_t {
        if (c < first || c > last) return 0;
        const bool isUpper = ((c % 2) == 0) == upperEven;
        if (toUpper && !isUpper) return upperEven ? c - 1 : c + 1;
        if (!toUpper && isUpper) return upperEven ? c + 1 : c - 1;
        return 0;
    };
    if (c == 0xD7 || c == 0xF7) return c;  // the multiplication and division signs
    if (c == 0x3A2) return c;              // no capital final sigma
    if (toUpper && c == 0xFF) return 0x178;
    if (!toUpper && c == 0x178) return 0xFF;
    if (toUpper && c == 0x3C2) return 0x3A3;  // final sigma
    for (char32_t r :
         {pair('a', 'z', 'A'), pair(0xE0, 0xFE, 0xC0), pair(0x3B1, 0x3C9, 0x391),
          pair(0x3AD, 0x3AF, 0x388), pair(0x430, 0x44F, 0x410), pair(0x450, 0x45F, 0x400),
          pair(0x3AC, 0x3AC, 0x386), pair(0x3CC, 0x3CC, 0x38C), pair(0x3CD, 0x3CE, 0x38E),
          alternating(0x100, 0x12F, true), alternating(0x132, 0x137, true),
          alternating(0x139, 0x148, false), alternating(0x14A, 0x177, true),
          alternating(0x179, 0x17E, false), alternating(0x490, 0x491, true)})
        if (r != 0) return r;
    return c;
}

char32_t decodeOne(const std::string& utf8) {
    const auto b = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(utf8[i]));
    };
    if (utf8.size() == 1) return b(0);
    if (utf8.size() == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    if (utf8.size() == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    return 0xFFFD;
}

std::string encodeOne(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

}  // namespace

std::optional<CaseMaps> caseMapsFor(int codePage) {
    if (!canConvertCodePage(codePage)) return std::nullopt;
    switch (codePage) {
        case 932:
        case 936:
        case 949:
        case 950:
        case kCodePageUtf8:
            return std::nullopt;
        default:
            break;
    }
    CaseMaps maps;
    for (int i = 0; i < 256; ++i) {
        const auto byte = static_cast<std::uint8_t>(i);
        maps.upper[byte] = maps.lower[byte] = byte;
        const std::string text = decodeText(codePage, std::string(1, static_cast<char>(byte)));
        const char32_t c = decodeOne(text);
        for (bool toUpper : {true, false}) {
            const char32_t other = otherCase(c, toUpper);
            if (other == c) continue;
            std::vector<std::string> unmappable;
            const std::string back = encodeText(codePage, encodeOne(other), &unmappable);
            if (back.size() == 1 && unmappable.empty())
                (toUpper ? maps.upper : maps.lower)[byte] = static_cast<std::uint8_t>(back[0]);
        }
    }
    return maps;
}

}  // namespace quorvel::foxpro
