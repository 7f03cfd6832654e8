#pragma once

// Conversion between a table's code page and UTF-8.  Decoding never fails
// and keeps every byte: a byte the code page leaves undefined, or a
// multi-byte sequence that is invalid or cut off (by the end of a field),
// becomes the Unicode character of the same number per byte (U+0081 for
// 0x81 in 1252), and encoding maps such a character back to its byte, so
// that text read and written again gives back the stored bytes.  The
// system's converters sit behind platform/code_page_converter.h.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::foxpro {

// UTF-8 as a code page number: what a .cpg file or the user may name for a
// table that no code page mark can describe.
inline constexpr int kCodePageUtf8 = 65001;

// True when the code page can be converted (437, 1252, 932, 65001, ...).
// Code page 0 (none known) and, for instance, 895 (Kamenicky) give false;
// their text is read byte for byte as U+0000..U+00FF.
bool canConvertCodePage(int codePage);

// True when every byte is ASCII: such text reads the same, byte for byte,
// in every code page (it is its own UTF-8), so it needs no conversion and
// equal bytes are equal text.  Checked a word at a time.
inline bool isAscii(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    std::uint64_t high = 0;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    for (; n > 0; ++p, --n) high |= static_cast<std::uint8_t>(*p);
    return (high & 0x8080808080808080u) == 0;
}

// What decodeText makes of a byte that is no part of a character of the
// code page (undefined there, or part of an invalid or cut-off sequence).
enum class Undecodable : std::uint8_t {
    // The character of the same number, which encodeText writes back as
    // that byte: what a value reads as.
    SameNumber,
    // kUndecodableMark and the byte's two halves as 0x80 | (byte >> 6) and
    // 0x80 | (byte & 0x3F): no character's UTF-8, so that such text equals
    // only text with the same undecodable bytes in the same places.  For
    // comparing, never for showing or writing.
    Marked,
};
inline constexpr char kUndecodableMark = '\xFF';  // never part of valid UTF-8

// Appends the UTF-8 form of bytes stored in the code page to out.  Never
// fails; returns whether the bytes decoded cleanly (every byte part of a
// character of the code page).  A code page the system cannot convert is
// read byte for byte, which is clean: it keeps bytes apart as they are.
bool decodeText(int codePage, std::string_view bytes, std::string& out,
                Undecodable undecodable = Undecodable::SameNumber);
std::string decodeText(int codePage, std::string_view bytes);

// Bytes that decode as U+0000..U+00FF one for one: what a field with the
// binary ("no translation") flag or a table of an unconvertible code page
// holds.
void decodeLatin1(std::string_view bytes, std::string& out);

// The bytes of UTF-8 text in the code page.  A character the code page
// cannot hold is written as '?' and, when unmappable is given, appended to
// it (as UTF-8); invalid UTF-8 bytes count as such characters.  Characters
// U+0080..U+00FF that the code page leaves undefined go back to the byte of
// the same number (the decoder's fallback).
std::string encodeText(int codePage, std::string_view utf8,
                       std::vector<std::string>* unmappable = nullptr);

// The inverse of decodeLatin1; characters above U+00FF are unmappable.
std::string encodeLatin1(std::string_view utf8, std::vector<std::string>* unmappable = nullptr);

// Length of the UTF-8 character at s[i]: 1 to 4, or 0 when the bytes there
// are no valid UTF-8 (a stray byte, an overlong or cut-off sequence).
std::size_t utf8CharLength(std::string_view s, std::size_t i);

}  // namespace quorvel::foxpro
