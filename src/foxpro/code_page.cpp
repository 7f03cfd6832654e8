#include "foxpro/code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace quorvel::foxpro {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // iconv_open's failure value

bool isMultiByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

std::string iconvName(int codePage) {
    if (codePage == 10000) return "MACINTOSH";
    return "CP" + std::to_string(codePage);
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

// Decode and encode tables of a one-byte code page, built once through iconv.
struct SingleByteTable {
    std::array<std::array<char, 4>, 256> utf8{};
    std::array<std::uint8_t, 256> utf8Length{};
    std::array<char32_t, 256> codePoint{};
    std::map<char32_t, std::uint8_t> reverse;  // code point -> byte
};

std::unique_ptr<SingleByteTable> buildSingleByteTable(int codePage) {
    auto table = std::make_unique<SingleByteTable>();
    iconv_t cd = codePage == 0 ? kNoConverter : iconv_open("UTF-32LE", iconvName(codePage).c_str());
    for (int b = 0; b < 256; ++b) {
        char32_t c = static_cast<char32_t>(b);  // fallback: the character of the same number
        if (cd != kNoConverter) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char in = static_cast<char>(b);
            char* inPtr = &in;
            std::size_t inLeft = 1;
            std::uint8_t outBuf[8];
            char* outPtr = reinterpret_cast<char*>(outBuf);
            std::size_t outLeft = sizeof outBuf;
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                inLeft == 0 && sizeof outBuf - outLeft == 4) {
                c = static_cast<char32_t>(outBuf[0] | (outBuf[1] << 8) | (outBuf[2] << 16) |
                                          (outBuf[3] << 24));
            }
        }
        table->codePoint[b] = c;
        std::string u;
        appendUtf8(c, u);
        table->utf8Length[b] = static_cast<std::uint8_t>(u.size());
        for (std::size_t k = 0; k < u.size(); ++k) table->utf8[b][k] = u[k];
    }
    if (cd != kNoConverter) iconv_close(cd);
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

// One iconv descriptor per thread and direction (descriptors carry state).
struct Converter {
    iconv_t cd = kNoConverter;
    ~Converter() {
        if (cd != kNoConverter) iconv_close(cd);
    }
};

iconv_t converter(int codePage, bool toUtf8) {
    thread_local std::map<std::pair<int, bool>, Converter> converters;
    auto& conv = converters[{codePage, toUtf8}];
    if (conv.cd == kNoConverter) {
        const std::string name = iconvName(codePage);
        conv.cd = toUtf8 ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
    }
    return conv.cd;
}

void decodeMultiByte(int codePage, std::string_view bytes, std::string& out) {
    iconv_t cd = converter(codePage, true);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char buffer[1024];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: keep its first byte as the
            // character of the same number and go on after it.
            appendUtf8(static_cast<std::uint8_t>(*in), out);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

void noteUnmappable(std::vector<std::string>* unmappable, std::string_view character) {
    if (unmappable) unmappable->emplace_back(character);
}

}  // namespace

bool canConvertCodePage(int codePage) {
    if (codePage <= 0) return false;
    static std::mutex m;
    static std::map<int, bool> known;
    std::lock_guard lock(m);
    auto it = known.find(codePage);
    if (it != known.end()) return it->second;
    iconv_t cd = iconv_open("UTF-8", iconvName(codePage).c_str());
    const bool ok = cd != kNoConverter;
    if (ok) iconv_close(cd);
    known[codePage] = ok;
    return ok;
}

void decodeLatin1(std::string_view bytes, std::string& out) {
    for (char ch : bytes) appendUtf8(static_cast<std::uint8_t>(ch), out);
}

namespace {
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

void decodeText(int codePage, std::string_view bytes, std::string& out) {
    // Plain ASCII reads the same in every supported code page.
    const std::size_t ascii = asciiPrefix(bytes);
    out.append(bytes.data(), ascii);
    if (ascii == bytes.size()) return;
    bytes.remove_prefix(ascii);
    if (isMultiByte(codePage) && canConvertCodePage(codePage)) {
        decodeMultiByte(codePage, bytes, out);
        return;
    }
    const SingleByteTable& table = singleByteTable(codePage);
    for (char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b < 0x80 && table.utf8Length[b] == 1) {
            out.push_back(table.utf8[b][0]);
        } else {
            out.append(table.utf8[b].data(), table.utf8Length[b]);
        }
    }
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
    const bool multi = isMultiByte(codePage);
    const SingleByteTable* table = multi ? nullptr : &singleByteTable(codePage);
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t len = readUtf8(utf8, i, c);
        if (len == 0) {
            out.push_back('?');
            noteUnmappable(unmappable, utf8.substr(i, 1));
            ++i;
            continue;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            i += len;
            continue;
        }
        bool done = false;
        if (table) {
            auto it = table->reverse.find(c);
            if (it != table->reverse.end()) {
                out.push_back(static_cast<char>(it->second));
                done = true;
            }
        } else {
            iconv_t cd = converter(codePage, false);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char* in = const_cast<char*>(utf8.data() + i);
            std::size_t inLeft = len;
            char buffer[16];
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                inLeft == 0) {
                out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
                done = true;
            } else if (c <= 0xFF) {
                // The decoder's fallback for a byte the code page leaves undefined.
                out.push_back(static_cast<char>(c));
                done = true;
            }
        }
        if (!done) {
            out.push_back('?');
            noteUnmappable(unmappable, utf8.substr(i, len));
        }
        i += len;
    }
    return out;
}

}  // namespace quorvel::foxpro
