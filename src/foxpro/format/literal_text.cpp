#include "foxpro/format/literal_text.h"

#include <cctype>

#include "foxpro/format/civil_date.h"

namespace quorvel::foxpro {

namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `pos`.
bool readDigits(std::string_view s, std::size_t& pos, std::size_t minCount, std::size_t maxCount,
                int& out) {
    std::size_t start = pos;
    int value = 0;
    while (pos < s.size() && isDigit(s[pos]) && pos - start < maxCount) {
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    if (pos - start < minCount) return false;
    out = value;
    return true;
}

}  // namespace

bool isValidDate(const Date& d) {
    return d.year >= 1 && d.year <= 9999 && d.day >= 1 && d.day <= daysInMonth(d.year, d.month);
}

bool isValidDateTime(const DateTime& dt) {
    return isValidDate(dt.date) && dt.hour >= 0 && dt.hour <= 23 && dt.minute >= 0 &&
           dt.minute <= 59 && dt.second >= 0 && dt.second <= 59;
}

std::optional<DateTime> parseIsoDateTime(std::string_view text, bool* dateOnly) {
    std::string_view s = trimBlanks(text);
    std::size_t pos = 0;
    DateTime dt;
    if (!readDigits(s, pos, 4, 4, dt.date.year)) return std::nullopt;
    if (pos >= s.size() || (s[pos] != '-' && s[pos] != '/')) return std::nullopt;
    char sep = s[pos++];
    if (!readDigits(s, pos, 1, 2, dt.date.month)) return std::nullopt;
    if (pos >= s.size() || s[pos] != sep) return std::nullopt;
    ++pos;
    if (!readDigits(s, pos, 1, 2, dt.date.day)) return std::nullopt;
    bool onlyDate = pos == s.size();
    if (!onlyDate) {
        if (s[pos] != ' ' && s[pos] != 'T') return std::nullopt;
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == 'T')) ++pos;
        if (!readDigits(s, pos, 1, 2, dt.hour)) return std::nullopt;
        if (pos >= s.size() || s[pos] != ':') return std::nullopt;
        ++pos;
        if (!readDigits(s, pos, 2, 2, dt.minute)) return std::nullopt;
        if (pos < s.size() && s[pos] == ':') {
            ++pos;
            if (!readDigits(s, pos, 2, 2, dt.second)) return std::nullopt;
        }
        if (pos != s.size()) return std::nullopt;
    }
    if (!isValidDateTime(dt)) return std::nullopt;
    if (dateOnly) *dateOnly = onlyDate;
    return dt;
}

bool isNumberText(std::string_view text) {
    return parseDecimal(text).has_value();
}

std::optional<DecimalParts> parseDecimal(std::string_view text) {
    std::string_view s = trimBlanks(text);
    DecimalParts parts;
    std::size_t pos = 0;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) parts.negative = s[pos++] == '-';
    std::string digits;
    int fraction = 0;
    bool anyDigit = false;
    while (pos < s.size() && isDigit(s[pos])) {
        digits += s[pos++];
        anyDigit = true;
    }
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        while (pos < s.size() && isDigit(s[pos])) {
            digits += s[pos++];
            ++fraction;
            anyDigit = true;
        }
    }
    if (!anyDigit) return std::nullopt;
    long long exponent = 0;
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
        ++pos;
        bool negExp = false;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negExp = s[pos++] == '-';
        if (pos >= s.size() || !isDigit(s[pos])) return std::nullopt;
        while (pos < s.size() && isDigit(s[pos])) {
            // Exponents beyond any field width only need to stay "huge".
            if (exponent < 100000) exponent = exponent * 10 + (s[pos] - '0');
            ++pos;
        }
        if (negExp) exponent = -exponent;
    }
    if (pos != s.size()) return std::nullopt;
    std::size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        parts.digits.assign(1, '0');  // not = "0": GCC 12 warns falsely (-Wrestrict)
        parts.exponent = 0;
        parts.negative = false;
        return parts;
    }
    parts.digits = digits.substr(firstNonZero);
    parts.exponent = static_cast<int>(exponent - fraction);
    return parts;
}

}  // namespace quorvel::foxpro
