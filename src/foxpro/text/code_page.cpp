#include "foxpro/text/code_page.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "foxpro/platform/code_page_converter.h"

namespace quorvel::foxpro {

namespace {

using platform::CodePageConverter;

// Code pages whose characters take more than one byte: decoded and encoded
// through the system converter text by text instead of a table of 256.
bool isMultiByte(int codePage) {
    switch (codePage) {
        case 932:    // Shift-JIS
        case 936:    // GBK
        case 949:    // Unified Hangul
        case 950:    // Big5
        case 1361:   // Johab
        case 20932:  // EUC-JP
        case 51949:  // EUC-KR
        case 54936:  // GB18030
            return true;
        default:
            return false;
    }
}

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads one UTF-8 character at s[i]; returns its length (0 when the bytes
// are no valid UTF-8, then c is the single byte).
std::size_t readUtf8(std::string_view s, std::size_t i, char32_t& c) {
    const auto b0 = static_cast<std::uint8_t>(s[i]);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        c = b0;
        return 0;
    }
    if (i + len > s.size()) {
        c = b0;
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<std::uint8_t>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            c = b0;
            return 0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = b0;
        return 0;
    }
    return len;
}

// Decode and encode tables of a one-byte code page, built once through the
// system converter.
struct SingleByteTable {
    std::array<std::array<char, 4>, 256> utf8{};
    std::array<std::uint8_t, 256> utf8Length{};
    std::array<char32_t, 256> codePoint{};
    // The byte is a character of the code page (else codePoint is its
    // fallback, the character of the same number).
    std::array<bool, 256> defined{};
    std::map<char32_t, std::uint8_t> reverse;  // code point -> byte
};

std::unique_ptr<SingleByteTable> buildSingleByteTable(int codePage) {
    auto table = std::make_unique<SingleByteTable>();
    std::unique_ptr<CodePageConverter> converter = CodePageConverter::open(codePage);
    for (int b = 0; b < 256; ++b) {
        char32_t c = static_cast<char32_t>(b);  // fallback: the character of the same number
        // Without a converter every byte reads as the character of its number.
        bool defined = true;
        if (converter) {
            const char in = static_cast<char>(b);
            std::string u;
            if (converter->decode({&in, 1}, u) == 1 && !u.empty() &&
                readUtf8(u, 0, c) == u.size()) {
                // c is the byte's one character
            } else {
                c = static_cast<char32_t>(b);
                defined = false;
            }
        }
        table->codePoint[b] = c;
        table->defined[b] = defined;
        std::string u;
        appendUtf8(c, u);
        table->utf8Length[b] = static_cast<std::uint8_t>(u.size());
        for (std::size_t k = 0; k < u.size(); ++k) table->utf8[b][k] = u[k];
    }
    // The first byte with a given code point wins, so that encoding is stable.
    for (int b = 255; b >= 0; --b)
        table->reverse[table->codePoint[b]] = static_cast<std::uint8_t>(b);
    return table;
}

std::mutex& tableMutex() {
    static std::mutex m;
    return m;
}

// Tables are built on first use and live until the process ends, so the
// pointers handed out stay valid.
const SingleByteTable& singleByteTable(int codePage) {
    thread_local int lastCodePage = -1;
    thread_local const SingleByteTable* last = nullptr;
    if (codePage == lastCodePage) return *last;
    std::lock_guard lock(tableMutex());
    static std::map<int, std::unique_ptr<SingleByteTable>> tables;
    auto& slot = tables[canConvertCodePage(codePage) ? codePage : 0];
    if (!slot) slot = buildSingleByteTable(codePage);
    lastCodePage = codePage;
    last = slot.get();
    return *last;
}

// One converter per thread and code page (converters carry state).
CodePageConverter* converter(int codePage) {
    thread_local std::map<int, std::unique_ptr<CodePageConverter>> converters;
    auto& slot = converters[codePage];
    if (!slot) slot = CodePageConverter::open(codePage);
    return slot.get();
}

// Appends a byte that is no part of a character as the undecodable option says.
void appendUndecodable(std::uint8_t b, Undecodable undecodable, std::string& out) {
    if (undecodable == Undecodable::SameNumber) {
        appendUtf8(b, out);
        return;
    }
    out.push_back(kUndecodableMark);
    out.push_back(static_cast<char>(0x80 | (b >> 6)));
    out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
}

// Multi-byte text: what the converter takes as whole characters goes
// through it; a sequence it stops at (invalid, or cut off by the end of
// the field) keeps its first byte as undecodable, and the conversion goes
// on after that byte.  Returns whether it never stopped.
bool decodeMultiByte(CodePageConverter& conv, std::string_view bytes, Undecodable undecodable,
                     std::string& out) {
    bool clean = true;
    while (!bytes.empty()) {
        const std::size_t done = conv.decode(bytes, out);
        bytes.remove_prefix(done);
        if (bytes.empty()) break;
        clean = false;
        appendUndecodable(static_cast<std::uint8_t>(bytes.front()), undecodable, out);
        bytes.remove_prefix(1);
    }
    return clean;
}

// UTF-8 as stored text: valid characters as they stand, every other byte
// undecodable.  Returns whether there was none.
bool decodeUtf8(std::string_view bytes, Undecodable undecodable, std::string& out) {
    bool clean = true;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = utf8CharLength(bytes, i);
        if (len == 0) {
            clean = false;
            appendUndecodable(static_cast<std::uint8_t>(bytes[i]), undecodable, out);
            ++i;
        } else {
            out.append(bytes.data() + i, len);
            i += len;
        }
    }
    return clean;
}

void noteUnmappable(std::vector<std::string>* unmappable, std::string_view character) {
    if (unmappable) unmappable->emplace_back(character);
}

// Length of the leading run of ASCII bytes, eight at a time.
std::size_t asciiPrefix(std::string_view bytes) {
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < bytes.size() && static_cast<std::uint8_t>(bytes[i]) < 0x80) ++i;
    return i;
}

}  // namespace

std::size_t utf8CharLength(std::string_view s, std::size_t i) {
    char32_t c = 0;
    return readUtf8(s, i, c);
}

bool canConvertCodePage(int codePage) {
    if (codePage == kCodePageUtf8) return true;
    if (codePage <= 0) return false;
    static std::mutex m;
    static std::map<int, bool> known;
    std::lock_guard lock(m);
    auto it = known.find(codePage);
    if (it != known.end()) return it->second;
    const bool ok = CodePageConverter::open(codePage) != nullptr;
    known[codePage] = ok;
    return ok;
}

void decodeLatin1(std::string_view bytes, std::string& out) {
    for (char ch : bytes) appendUtf8(static_cast<std::uint8_t>(ch), out);
}

bool decodeText(int codePage, std::string_view bytes, std::string& out, Undecodable undecodable) {
    // Plain ASCII reads the same in every supported code page.
    const std::size_t ascii = asciiPrefix(bytes);
    out.append(bytes.data(), ascii);
    if (ascii == bytes.size()) return true;
    bytes.remove_prefix(ascii);
    if (codePage == kCodePageUtf8) return decodeUtf8(bytes, undecodable, out);
    if (isMultiByte(codePage)) {
        if (CodePageConverter* conv = converter(codePage))
            return decodeMultiByte(*conv, bytes, undecodable, out);
    }
    const SingleByteTable& table = singleByteTable(codePage);
    bool clean = true;
    for (char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (!table.defined[b]) {
            clean = false;
            if (undecodable == Undecodable::Marked) {
                appendUndecodable(b, undecodable, out);
                continue;
            }
        }
        out.append(table.utf8[b].data(), table.utf8Length[b]);
    }
    return clean;
}

std::string decodeText(int codePage, std::string_view bytes) {
    if (asciiPrefix(bytes) == bytes.size()) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    decodeText(codePage, bytes, out);
    return out;
}

std::string encodeLatin1(std::string_view utf8, std::vector<std::string>* unmappable) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t len = readUtf8(utf8, i, c);
        if (len == 0) {
            out.push_back('?');
            noteUnmappable(unmappable, utf8.substr(i, 1));
            ++i;
            continue;
        }
        if (c <= 0xFF) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('?');
            noteUnmappable(unmappable, utf8.substr(i, len));
        }
        i += len;
    }
    return out;
}

std::string encodeText(int codePage, std::string_view utf8, std::vector<std::string>* unmappable) {
    if (!canConvertCodePage(codePage)) return encodeLatin1(utf8, unmappable);
    std::string out;
    out.reserve(utf8.size());
    const bool utf8Table = codePage == kCodePageUtf8;
    CodePageConverter* conv = isMultiByte(codePage) ? converter(codePage) : nullptr;
    const SingleByteTable* table = conv || utf8Table ? nullptr : &singleByteTable(codePage);
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t len = readUtf8(utf8, i, c);
        if (len == 0) {
            out.push_back('?');
            noteUnmappable(unmappable, utf8.substr(i, 1));
            ++i;
            continue;
        }
        const std::string_view character = utf8.substr(i, len);
        i += len;
        if (c < 0x80 || utf8Table) {
            out.append(character);
            continue;
        }
        if (table) {
            auto it = table->reverse.find(c);
            if (it != table->reverse.end()) {
                out.push_back(static_cast<char>(it->second));
                continue;
            }
        } else if (conv->encode(character, out)) {
            continue;
        } else if (c <= 0xFF) {
            // The decoder's fallback for a byte the code page leaves undefined.
            out.push_back(static_cast<char>(c));
            continue;
        }
        out.push_back('?');
        noteUnmappable(unmappable, character);
    }
    return out;
}

}  // namespace quorvel::foxpro
