#include "compare/number_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace quorvel::compare {

namespace {

using foxpro::Value;

// Drops the zeros after the point and a point with nothing after it, and
// writes minus zero as zero: the canonical form of decimals ("12.50" ->
// "12.5", "-0.0" -> "0").
void trimDecimal(std::string& text, std::size_t start) {
    if (text.find('.', start) != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text.compare(start, std::string::npos, "-0") == 0) text.replace(start, 2, "0");
}

}  // namespace

bool isNumber(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Integer:
        case Value::Kind::Decimal:
        case Value::Kind::Double:
        case Value::Kind::Currency:
            return true;
        default:
            return false;
    }
}

void appendCanonicalNumber(std::string& out, const Value& value) {
    const std::size_t start = out.size();
    switch (value.kind()) {
        case Value::Kind::Decimal:
            out += value.str();
            return;
        case Value::Kind::Integer:
            out += std::to_string(value.asInteger());
            return;
        case Value::Kind::Currency: {
            const std::int64_t v = value.asInteger();
            const std::uint64_t magnitude =
                v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            if (v < 0) out += '-';
            out += std::to_string(magnitude / 10000);
            char fraction[8];
            std::snprintf(fraction, sizeof fraction, ".%04u",
                          static_cast<unsigned>(magnitude % 10000));
            out += fraction;
            trimDecimal(out, start);
            return;
        }
        case Value::Kind::Double: {
            // A NaN's sign and payload say nothing about its value.
            if (std::isnan(value.asDouble())) {
                out += "nan";
                return;
            }
            // The shortest decimal that reads back as the same double.
            char digits[400];
            const auto result = std::to_chars(digits, digits + sizeof digits, value.asDouble(),
                                              std::chars_format::fixed);
            out.append(digits, result.ptr);
            trimDecimal(out, start);
            return;
        }
        default:
            out += value.str();
            return;
    }
}

std::string canonicalNumber(const Value& value) {
    std::string text;
    appendCanonicalNumber(text, value);
    return text;
}

bool numbersEqual(const Value& a, const Value& b) {
    if (a.kind() == b.kind()) {
        switch (a.kind()) {
            case Value::Kind::Integer:
            case Value::Kind::Currency:
                return a.asInteger() == b.asInteger();
            case Value::Kind::Decimal:
                return a.str() == b.str();
            case Value::Kind::Double:
                return a.asDouble() == b.asDouble() ||
                       (std::isnan(a.asDouble()) && std::isnan(b.asDouble()));
            default:
                break;
        }
    }
    return canonicalNumber(a) == canonicalNumber(b);
}

}  // namespace quorvel::compare
