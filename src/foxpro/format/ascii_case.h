#pragma once

#include <string>
#include <string_view>

namespace quorvel::foxpro {

// Letter case of names (tables, fields, files, keywords) is folded for
// ASCII letters only: names are ASCII in the formats, and folding bytes by
// the C library's locale would change with the user's locale.
constexpr char lowerAsciiChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAsciiChar(c);
    return out;
}

inline std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAsciiChar(a[i]) != lowerAsciiChar(b[i])) return false;
    return true;
}

}  // namespace quorvel::foxpro
