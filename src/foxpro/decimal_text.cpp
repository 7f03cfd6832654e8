#include "foxpro/decimal_text.h"

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

namespace {

// The common case without an exponent, built in one buffer: the result is
// short enough to stay inside the string's own storage, so reading a number
// allocates nothing.
bool canonicalPlain(std::string_view s, std::string& out) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\0')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    const std::size_t intBegin = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    const std::size_t intEnd = i;
    std::size_t fracBegin = i, fracEnd = i;
    if (i < s.size() && s[i] == '.') {
        fracBegin = ++i;
        while (i < s.size() && isDigit(s[i])) ++i;
        fracEnd = i;
    }
    if (i + 1 < s.size() && (s[i] == 'E' || s[i] == 'e')) return false;
    std::size_t firstInt = intBegin;
    while (firstInt < intEnd && s[firstInt] == '0') ++firstInt;
    while (fracEnd > fracBegin && s[fracEnd - 1] == '0') --fracEnd;
    const std::size_t intLen = intEnd - firstInt, fracLen = fracEnd - fracBegin;
    // Sign, digits, point: at most the field's own bytes plus two.
    char buffer[300];
    if (intLen + fracLen + 3 > sizeof buffer) return false;
    char* p = buffer;
    if (negative && (intLen != 0 || fracLen != 0)) *p++ = '-';
    if (intLen == 0) {
        *p++ = '0';
    } else {
        std::memcpy(p, s.data() + firstInt, intLen);
        p += intLen;
    }
    if (fracLen != 0) {
        *p++ = '.';
        std::memcpy(p, s.data() + fracBegin, fracLen);
        p += fracLen;
    }
    out.assign(buffer, static_cast<std::size_t>(p - buffer));
    return true;
}

}  // namespace

std::string canonicalDecimal(std::string_view s) {
    {
        std::string out;
        if (canonicalPlain(s, out)) return out;
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
