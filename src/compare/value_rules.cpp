#include "compare/value_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "compare/case_fold.h"
#include "compare/number_value.h"
#include "foxpro/text/text_form.h"

namespace quorvel::compare {

namespace {

using foxpro::Value;

// GCC and Clang's 128-bit integer; __extension__ says it is wanted, so that
// -Wpedantic stays quiet.
__extension__ typedef __int128 Int128;

// A decimal number as units of 10^-scale.
struct ExactDecimal {
    Int128 units = 0;
    int scale = 0;
};

// 10^36 fits an Int128 (below 1.7 x 10^38) with room for one addition.
constexpr int kMaxDigits = 36;

Int128 pow10(int n) {
    Int128 p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

int digitCount(Int128 v) {
    if (v < 0) v = -v;
    int n = 0;
    while (v != 0) {
        v /= 10;
        ++n;
    }
    return n;
}

// Reads "-12.5", "0.001", "1e+300" (what the text of a number may look
// like); nullopt when it is not such a text or needs more digits.
std::optional<ExactDecimal> parseExact(std::string_view text) {
    ExactDecimal d;
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative || (i < text.size() && text[i] == '+')) ++i;
    int digits = 0;
    bool any = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        any = true;
        if (d.units == 0 && c == '0') {
            if (point) ++d.scale;
            continue;
        }
        if (++digits > kMaxDigits) return std::nullopt;
        d.units = d.units * 10 + (c - '0');
        if (point) ++d.scale;
    }
    if (!any) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
        int exponent = 0;
        const char* first = text.data() + i + 1;
        if (first < text.data() + text.size() && *first == '+') ++first;
        const auto [end, ec] = std::from_chars(first, text.data() + text.size(), exponent);
        if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
        d.scale -= exponent;
    }
    if (d.scale < 0) {
        if (digitCount(d.units) - d.scale > kMaxDigits) return std::nullopt;
        d.units *= pow10(-d.scale);
        d.scale = 0;
    }
    if (d.scale > kMaxDigits) return std::nullopt;
    if (negative) d.units = -d.units;
    return d;
}

// Brings d to the given scale; false when its units would not fit.
bool rescale(ExactDecimal& d, int scale) {
    const int more = scale - d.scale;
    if (digitCount(d.units) + more > kMaxDigits) return false;
    d.units *= pow10(more);
    d.scale = scale;
    return true;
}

bool isNumberType(int type) {
    return type == foxpro::kTypeInteger || type == foxpro::kTypeDouble ||
           type == foxpro::kTypeCurrency || type == foxpro::kTypeNumeric;
}

bool isTextType(int type) {
    return type == foxpro::kTypeChar || type == foxpro::kTypeVarChar ||
           type == foxpro::kTypeLongVarChar;
}

std::string valueText(const Value& value, const foxpro::TextLocale& locale) {
    if (value.isNull()) return {};
    return foxpro::textForm(value, locale);
}

}  // namespace

std::string toleranceFromText(std::string_view text) {
    bool point = false;
    bool digit = false;
    for (const char c : text) {
        if (c == '.' && !point)
            point = true;
        else if (c >= '0' && c <= '9')
            digit = true;
        else
            return {};
    }
    if (!digit) return {};
    // Written back in the canonical form: no leading or trailing zeros.
    std::string canonical(text);
    if (point) {
        while (canonical.back() == '0') canonical.pop_back();
        if (canonical.back() == '.') canonical.pop_back();
    }
    std::size_t lead = 0;
    while (lead + 1 < canonical.size() && canonical[lead] == '0' && canonical[lead + 1] != '.')
        ++lead;
    canonical.erase(0, lead);
    if (canonical.empty() || canonical.front() == '.') canonical.insert(canonical.begin(), '0');
    return parseExact(canonical) ? canonical : std::string();
}

bool withinTolerance(const Value& a, const Value& b, std::string_view tolerance) {
    // NaN and the infinities are near only to themselves.
    const auto finite = [](const Value& v) {
        return v.kind() != Value::Kind::Double || std::isfinite(v.asDouble());
    };
    if (isNumber(a) && isNumber(b) && (!finite(a) || !finite(b))) return numbersEqual(a, b);
    const auto textA = foxpro::exactNumberText(a);
    const auto textB = foxpro::exactNumberText(b);
    if (!textA || !textB) return false;
    auto x = parseExact(*textA);
    auto y = parseExact(*textB);
    auto t = parseExact(tolerance);
    if (x && y && t) {
        const int scale = std::max({x->scale, y->scale, t->scale});
        if (rescale(*x, scale) && rescale(*y, scale) && rescale(*t, scale)) {
            const Int128 difference = x->units - y->units;
            return (difference < 0 ? -difference : difference) <= t->units;
        }
    }
    // Beyond 36 digits the last ones hardly matter.
    const long double difference =
        std::strtold(textA->c_str(), nullptr) - std::strtold(textB->c_str(), nullptr);
    return std::fabs(difference) <= std::strtold(std::string(tolerance).c_str(), nullptr);
}

ValueRules::ValueRules(const CompareOptions& options)
    : trimBlanks_(options.ignoreTrailingBlanks),
      foldCase_(options.ignoreCase),
      tolerance_(options.tolerance) {}

bool ValueRules::textRuled(int type) const {
    return (trimBlanks_ || foldCase_) && isTextType(type);
}

bool ValueRules::toleranceRuled(int type) const {
    return !tolerance_.empty() && isNumberType(type);
}

std::string ValueRules::comparedText(std::string_view text) const {
    if (trimBlanks_) {
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    }
    return foldCase_ ? upperText(text) : std::string(text);
}

bool ValueRules::equal(const Value& a, int typeA, const Value& b, int typeB,
                       const foxpro::TextLocale& locale) const {
    const bool numbers = toleranceRuled(typeA) && toleranceRuled(typeB);
    if (numbers && !a.isNull() && !b.isNull()) return withinTolerance(a, b, tolerance_);
    if (isNumber(a) && isNumber(b)) return numbersEqual(a, b);
    if (typeA != typeB) {
        if (textRuled(typeA) || textRuled(typeB))
            return comparedText(valueText(a, locale)) == comparedText(valueText(b, locale));
        return valueText(a, locale) == valueText(b, locale);
    }
    if (typeA >= foxpro::kTypeVarBinary) return true;
    if (!a.isNull() && !b.isNull()) {
        if (textRuled(typeA) && a.kind() == Value::Kind::Text && b.kind() == Value::Kind::Text)
            return comparedText(a.str()) == comparedText(b.str());
        return a == b;
    }
    return a.isNull() && b.isNull();
}

}  // namespace quorvel::compare
