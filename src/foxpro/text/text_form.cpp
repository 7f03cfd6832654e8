#include "foxpro/text/text_form.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace quorvel::foxpro {

namespace {

// value in at least width digits, zero-padded (dates and times: never
// negative, at most four digits).
void appendDigits(std::string& out, int value, int width) {
    char buf[16];
    char* end = buf + sizeof buf;
    char* p = end;
    unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && p > buf);
    while (end - p < width && p > buf) *--p = '0';
    out.append(p, end);
}

// Expands %Y %m %d %H %M %S; any other character is copied.
std::string applyPattern(const std::string& pattern, const DateTime& dt) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out.push_back(pattern[i]);
            continue;
        }
        switch (pattern[++i]) {
            case 'Y':
                appendDigits(out, dt.date.year, 4);
                break;
            case 'm':
                appendDigits(out, dt.date.month, 2);
                break;
            case 'd':
                appendDigits(out, dt.date.day, 2);
                break;
            case 'H':
                appendDigits(out, dt.hour, 2);
                break;
            case 'M':
                appendDigits(out, dt.minute, 2);
                break;
            case 'S':
                appendDigits(out, dt.second, 2);
                break;
            case '%':
                out.push_back('%');
                break;
            default:
                out.push_back('%');
                out.push_back(pattern[i]);
                break;
        }
    }
    return out;
}

// Numbers are built with '.' whatever the process locale, then given the
// locale's separator.
std::string withSeparator(std::string number, const TextLocale& locale) {
    if (locale.decimalSeparator == ".") return number;
    const auto dot = number.find('.');
    if (dot != std::string::npos) number.replace(dot, 1, locale.decimalSeparator);
    return number;
}

std::string currencyText(std::int64_t tenThousandths) {
    const bool negative = tenThousandths < 0;
    // Magnitude in unsigned arithmetic, so that the smallest amount is safe.
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(tenThousandths)
                                             : static_cast<std::uint64_t>(tenThousandths);
    std::string out = negative ? "-" : "";
    out += std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(fraction));
        std::string digits(buf);
        while (digits.back() == '0') digits.pop_back();
        out += "." + digits;
    }
    return out;
}

// printf("%.15G") without the process locale: to_chars gives the same
// digits as "%.15g"; the exponent letter and inf/nan are upper-cased.
std::string doubleText(double d) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    std::string out(buf, result.ptr);
    for (auto& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string hexText(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (bytes.empty()) return "";
    std::string out = "0h";
    out.reserve(2 + bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}

}  // namespace

std::string textForm(const Value& value, const TextLocale& locale) {
    switch (value.kind()) {
        case Value::Kind::Null:
            return "";
        case Value::Kind::Text:
            return value.str();
        case Value::Kind::Bytes:
            return hexText(value.str());
        case Value::Kind::Integer:
            return std::to_string(value.asInteger());
        case Value::Kind::Decimal:
            return withSeparator(value.str(), locale);
        case Value::Kind::Double:
            return withSeparator(doubleText(value.asDouble()), locale);
        case Value::Kind::Currency:
            return withSeparator(currencyText(value.asInteger()), locale);
        case Value::Kind::Date:
            return applyPattern(locale.datePattern, value.asDateTime());
        case Value::Kind::DateTime:
            return applyPattern(locale.datePattern, value.asDateTime()) + " " +
                   applyPattern(locale.timePattern, value.asDateTime());
        case Value::Kind::Logical:
            return value.asLogical() ? "True" : "False";
    }
    return "";
}

std::string_view textFormView(const Value& value, const TextLocale& locale, std::string& scratch) {
    if (value.kind() == Value::Kind::Text) return value.str();
    scratch = textForm(value, locale);
    return scratch;
}

std::optional<std::string> exactNumberText(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Integer:
            return std::to_string(value.asInteger());
        case Value::Kind::Decimal:
            return value.str();
        case Value::Kind::Currency:
            return currencyText(value.asInteger());
        case Value::Kind::Double: {
            if (!std::isfinite(value.asDouble())) return std::nullopt;
            char buf[64];
            const auto result = std::to_chars(buf, buf + sizeof buf, value.asDouble());
            return std::string(buf, result.ptr);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace quorvel::foxpro
