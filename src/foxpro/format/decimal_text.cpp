#include "foxpro/format/decimal_text.h"

#include <cstdint>
#include <cstring>

namespace quorvel::foxpro {

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exponents beyond this move the point further than any stored number can
// mean; bounding them bounds the text built here.
constexpr int kMaxExponent = 400;
}  // namespace

std::string_view canonicalDecimalPlain(std::string_view s, char* buffer) {
    // The common case without an exponent, in one pass: digits are copied
    // as they are read, the sign slot kept free in front of them.
    if (s.size() > kCanonicalDecimalLimit) return {};
    const char* p = s.data();
    const char* const end = p + s.size();
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\0')) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    while (p < end && *p == '0') ++p;  // leading zeros are not significant
    char* const first = buffer + 1;
    char* out = first;
    while (p < end && isDigit(*p)) *out++ = *p++;
    if (out == first) *out++ = '0';
    const bool integerZero = out == first + 1 && *first == '0';
    if (p < end && *p == '.') {
        char* kept = out;  // trailing zeros, and a point with nothing after it, are dropped
        *out++ = '.';
        for (++p; p < end && isDigit(*p); ++p) {
            *out++ = *p;
            if (*p != '0') kept = out;
        }
        out = kept;
    }
    if (p + 1 < end && (*p == 'E' || *p == 'e')) return {};
    char* begin = first;
    if (negative && !(integerZero && out == first + 1)) *--begin = '-';
    return {begin, static_cast<std::size_t>(out - begin)};
}

std::string canonicalDecimal(std::string_view s) {
    {
        char buffer[kCanonicalDecimalRoom];
        if (const std::string_view plain = canonicalDecimalPlain(s, buffer); !plain.empty())
            return std::string(plain);
    }
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\0')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    std::string digits;  // all significant digits, the point after pointPos of them
    const std::size_t intStart = i;
    while (i < s.size() && isDigit(s[i])) digits.push_back(s[i++]);
    int pointPos = static_cast<int>(digits.size());
    bool any = i > intStart;
    if (i < s.size() && s[i] == '.') {
        ++i;
        const std::size_t fracStart = i;
        while (i < s.size() && isDigit(s[i])) digits.push_back(s[i++]);
        any = any || i > fracStart;
    }
    if (!any) return "0";
    if (i + 1 < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '-' || s[j] == '+')) expNegative = s[j++] == '-';
        if (j < s.size() && isDigit(s[j])) {
            int exponent = 0;
            while (j < s.size() && isDigit(s[j])) {
                if (exponent <= kMaxExponent) exponent = exponent * 10 + (s[j] - '0');
                ++j;
            }
            if (exponent > kMaxExponent) exponent = kMaxExponent;
            pointPos += expNegative ? -exponent : exponent;
        }
    }
    // Make the point fall inside or at the ends of the digit string.
    if (pointPos < 0) {
        digits.insert(0, static_cast<std::size_t>(-pointPos), '0');
        pointPos = 0;
    } else if (pointPos > static_cast<int>(digits.size())) {
        digits.append(static_cast<std::size_t>(pointPos) - digits.size(), '0');
    }
    std::string intPart = digits.substr(0, static_cast<std::size_t>(pointPos));
    std::string fracPart = digits.substr(static_cast<std::size_t>(pointPos));
    const std::size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "0" : intPart.substr(firstNonZero);
    const std::size_t lastNonZero = fracPart.find_last_not_of('0');
    fracPart = lastNonZero == std::string::npos ? "" : fracPart.substr(0, lastNonZero + 1);
    std::string out;
    if (negative && !(intPart == "0" && fracPart.empty())) out.push_back('-');
    out += intPart;
    if (!fracPart.empty()) {
        out.push_back('.');
        out += fracPart;
    }
    return out;
}

}  // namespace quorvel::foxpro
