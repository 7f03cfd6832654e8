#include "compare/record_hash.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "compare/number_value.h"
#include "foxpro/text/text_form.h"

namespace quorvel::compare {

namespace {

using foxpro::Value;

std::uint64_t dateNumber(const foxpro::Date& d) {
    return static_cast<std::uint64_t>(d.year) * 10000 + static_cast<std::uint64_t>(d.month) * 100 +
           static_cast<std::uint64_t>(d.day);
}

std::uint64_t secondOfDay(const foxpro::DateTime& dt) {
    return static_cast<std::uint64_t>(dt.hour) * 3600 + static_cast<std::uint64_t>(dt.minute) * 60 +
           static_cast<std::uint64_t>(dt.second);
}

void appendTrimmed(std::string& out, std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    out += text;
}

}  // namespace

namespace {

std::uint64_t hashOf(const HashedRecord& r) {
    return r.first;
}
std::uint64_t hashOf(std::uint64_t packed) {
    return packed;
}

// Two stable counting passes, over bits 42..52 and then 53..63, leave the
// items in order of their top 22 bits and, within that, as they came; each
// run of equal top bits is then sorted on its own: a few items for hashes,
// but any number for numbers that are no hashes.
template <typename Item>
void sortByTopBits(std::vector<Item>& items) {
    if (items.size() < 4096) {
        std::sort(items.begin(), items.end());
        return;
    }
    constexpr int kDigitBits = 11;
    constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
    std::vector<Item> other(items.size());
    for (const int shift : {64 - 2 * kDigitBits, 64 - kDigitBits}) {
        std::vector<std::size_t> next(kBuckets + 1, 0);
        for (const auto& r : items) ++next[((hashOf(r) >> shift) & (kBuckets - 1)) + 1];
        for (std::size_t b = 1; b <= kBuckets; ++b) next[b] += next[b - 1];
        for (const auto& r : items) other[next[(hashOf(r) >> shift) & (kBuckets - 1)]++] = r;
        items.swap(other);
    }
    constexpr int kTopShift = 64 - 2 * kDigitBits;
    for (auto run = items.begin(); run != items.end();) {
        const std::uint64_t top = hashOf(*run) >> kTopShift;
        auto end = run + 1;
        while (end != items.end() && hashOf(*end) >> kTopShift == top) ++end;
        if (end - run > 1 && !std::is_sorted(run, end)) std::sort(run, end);
        run = end;
    }
}

}  // namespace

void sortByHash(std::vector<HashedRecord>& records) {
    sortByTopBits(records);
}

void sortPacked(std::vector<std::uint64_t>& packed) {
    sortByTopBits(packed);
}

void addTypedText(Hasher& hasher, Value::Kind kind, std::string_view text) {
    hasher.add(static_cast<std::uint64_t>(kind));
    hasher.add(text);
}

void addTypedWhole(Hasher& hasher, Value::Kind kind, std::int64_t value) {
    hasher.add(static_cast<std::uint64_t>(kind));
    hasher.add(static_cast<std::uint64_t>(value));
}

void addTypedNull(Hasher& hasher) {
    hasher.add(static_cast<std::uint64_t>(Value::Kind::Null));
}

void addTypedValue(Hasher& hasher, const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Null:
            addTypedNull(hasher);
            return;
        case Value::Kind::Text:
        case Value::Kind::Bytes:
        case Value::Kind::Decimal:
            addTypedText(hasher, value.kind(), value.str());
            return;
        case Value::Kind::Integer:
        case Value::Kind::Currency:
        case Value::Kind::Logical:
            addTypedWhole(hasher, value.kind(), value.asInteger());
            return;
        case Value::Kind::Double: {
            hasher.add(static_cast<std::uint64_t>(value.kind()));
            // Minus zero as zero, every NaN as one: numbers by value.
            double d = value.asDouble() == 0 ? 0.0 : value.asDouble();
            if (std::isnan(d)) d = std::numeric_limits<double>::quiet_NaN();
            std::uint64_t bits = 0;
            std::memcpy(&bits, &d, sizeof bits);
            hasher.add(bits);
            return;
        }
        case Value::Kind::Date:
            hasher.add(static_cast<std::uint64_t>(value.kind()));
            hasher.add(dateNumber(value.asDate()));
            return;
        case Value::Kind::DateTime:
            hasher.add(static_cast<std::uint64_t>(value.kind()));
            hasher.add(dateNumber(value.asDateTime().date));
            hasher.add(secondOfDay(value.asDateTime()));
            return;
    }
}

KeyKind keyKindOf(int typeCode) {
    switch (typeCode) {
        case foxpro::kTypeInteger:
        case foxpro::kTypeDouble:
        case foxpro::kTypeCurrency:
        case foxpro::kTypeNumeric:
            return KeyKind::Number;
        case foxpro::kTypeDate:
        case foxpro::kTypeTimestamp:
            return KeyKind::Time;
        case foxpro::kTypeBoolean:
            return KeyKind::Logical;
        default:
            return typeCode >= foxpro::kTypeVarBinary ? KeyKind::Binary : KeyKind::Text;
    }
}

char keyPart(const Value& value, bool byText, const foxpro::TextLocale& locale, std::string& text) {
    text.clear();
    if (value.isNull()) return '0';
    if (byText) {
        appendTrimmed(text, foxpro::textForm(value, locale));
        return 'S';
    }
    switch (value.kind()) {
        case Value::Kind::Decimal:
        case Value::Kind::Integer:
        case Value::Kind::Currency:
        case Value::Kind::Double:
            appendCanonicalNumber(text, value);
            return 'N';
        case Value::Kind::Text:
            appendTrimmed(text, value.str());
            return 'S';
        case Value::Kind::Bytes:
            text = value.str();
            return 'B';
        case Value::Kind::Date:
            text = std::to_string(dateNumber(value.asDate()) * 100000);
            return 'D';
        case Value::Kind::DateTime:
            text = std::to_string(dateNumber(value.asDateTime().date) * 100000 +
                                  secondOfDay(value.asDateTime()));
            return 'D';
        case Value::Kind::Logical:
            // Appended to the cleared text: GCC 12 takes assigning "1" for an overlap.
            text += value.asLogical() ? '1' : '0';
            return 'L';
        case Value::Kind::Null:
            break;
    }
    return '0';
}

void appendKeyPart(std::string& out, char letter, std::string_view text) {
    // One append for the letter and length: this runs for every record of
    // a key pairing.
    const auto size = static_cast<std::uint32_t>(text.size());
    const char head[5] = {
        letter, static_cast<char>(size & 0xFF), static_cast<char>((size >> 8) & 0xFF),
        static_cast<char>((size >> 16) & 0xFF), static_cast<char>((size >> 24) & 0xFF)};
    out.append(head, sizeof head);
    out.append(text);
}

std::string keyDisplayText(const Value& value, const foxpro::TextLocale& locale) {
    if (value.isNull()) return ".NULL.";
    std::string text;
    appendTrimmed(text, foxpro::textForm(value, locale));
    return text;
}

}  // namespace quorvel::compare
