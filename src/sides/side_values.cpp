#include "sides/side_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foxpro/format/civil_date.h"
#include "foxpro/format/decimal_text.h"
#include "foxpro/text/text_form.h"

namespace quorvel::sides {

namespace {

constexpr std::int64_t kJulianOfUnixEpoch = 2440588;  // the julian day number of 1970-01-01
constexpr long double kJulianFloor = 1e6L;    // day numbers at least this big are julian ones
constexpr long double kJulianCeiling = 1e7L;  // ... and below this (year 9999 is 5373484);
                                              // bigger ones are seconds since 1970

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A plain number: sign, digits with an optional point, an optional
// exponent.  No "NaN", no "1,5", no text after it.
bool isNumberText(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t exponent = 0;
        while (i < t.size() && isDigit(t[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == t.size();
}

long double numberOf(const std::string& text) {
    return std::strtold(text.c_str(), nullptr);
}

// Two texts of a B field's double: equal at 15 significant digits.  A
// double that went through a 15-digit text form is still the same double.
// Read back as doubles: the shortest text of a double read as a long
// double may round the other way at the 15th digit.
bool sameReal(const std::string& a, const std::string& b) {
    const double x = std::strtod(a.c_str(), nullptr);
    const double y = std::strtod(b.c_str(), nullptr);
    // Told by size rather than by printing both (a million records).
    if (x == y) return true;
    const double apart = std::fabs(x - y);
    const double size = std::max(std::fabs(x), std::fabs(y));
    const double unit = std::pow(10.0, std::floor(std::log10(size)) - 14);
    return apart <= 0.5 * unit * (1 + 1e-9);
}

std::string twoDigits(int n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// By hand rather than by printf: two dates or datetimes a record, a million records.
std::string dateText(const foxpro::Date& d) {
    std::string out = "0000-00-00";
    for (int i = 3, y = d.year; i >= 0; --i, y /= 10)
        out[static_cast<std::size_t>(i)] = static_cast<char>('0' + y % 10);
    out[5] = static_cast<char>('0' + d.month / 10 % 10);
    out[6] = static_cast<char>('0' + d.month % 10);
    out[8] = static_cast<char>('0' + d.day / 10 % 10);
    out[9] = static_cast<char>('0' + d.day % 10);
    return out;
}

std::string dateTimeText(const foxpro::DateTime& t) {
    return dateText(t.date) + " " + twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" +
           twoDigits(t.second);
}

// Seconds since 1970-01-01 as the text of a date (withTime: and time).
NormalValue fromSeconds(std::int64_t seconds, bool withTime) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    foxpro::DateTime t;
    t.date = foxpro::civilFromDays(days);
    if (t.date.year < 1 || t.date.year > 9999) return {NormalValue::State::Invalid, {}};
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    // A date that carries a time of day is not the date alone.
    if (!withTime && rest != 0) return {NormalValue::State::Value, dateTimeText(t)};
    return {NormalValue::State::Value, withTime ? dateTimeText(t) : dateText(t.date)};
}

// Reads n digits at text[i].
bool digitsAt(std::string_view text, std::size_t i, std::size_t n, int& value) {
    if (i + n > text.size()) return false;
    value = 0;
    for (std::size_t k = i; k < i + n; ++k) {
        if (!isDigit(text[k])) return false;
        value = value * 10 + (text[k] - '0');
    }
    return true;
}

// "YYYY-MM-DD", then optionally " HH:MM[:SS[.fff]]" ('T' for the blank) and
// a zone ("Z", "+02", "+02:00"), which the stream has shown the time in
// already.  Seconds round to the nearest, as the reader rounds them.
bool isoSeconds(std::string_view text, std::int64_t& seconds) {
    foxpro::Date d;
    if (!digitsAt(text, 0, 4, d.year) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
        !digitsAt(text, 5, 2, d.month) || !digitsAt(text, 8, 2, d.day))
        return false;
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > foxpro::daysInMonth(d.year, d.month))
        return false;
    seconds = foxpro::daysFromCivil(d) * 86400;
    std::size_t i = 10;
    if (i == text.size()) return true;
    if (text[i] != ' ' && text[i] != 'T') return false;
    int h = 0, m = 0, s = 0;
    if (!digitsAt(text, i + 1, 2, h) || i + 3 >= text.size() || text[i + 3] != ':' ||
        !digitsAt(text, i + 4, 2, m) || h > 23 || m > 59)
        return false;
    i += 6;
    if (i < text.size() && text[i] == ':') {
        if (!digitsAt(text, i + 1, 2, s) || s > 60) return false;
        i += 3;
        if (i < text.size() && text[i] == '.') {
            ++i;
            if (i < text.size() && isDigit(text[i]) && text[i] >= '5') ++s;
            while (i < text.size() && isDigit(text[i])) ++i;
        }
    }
    seconds += h * 3600 + m * 60 + s;
    if (i == text.size()) return true;
    if (text[i] == 'Z') return i + 1 == text.size();
    if (text[i] != '+' && text[i] != '-') return false;
    for (++i; i < text.size(); ++i)
        if (!isDigit(text[i]) && text[i] != ':') return false;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The declared length of a text type ("varchar(30)", "character varying(30)",
// "nchar(8)"), 0 when it has none.
int declaredTextLength(const std::string& type) {
    if (type.find("char") == std::string::npos) return 0;
    const std::size_t open = type.find('(');
    if (open == std::string::npos) return 0;
    int n = 0;
    for (std::size_t i = open + 1; i < type.size() && isDigit(type[i]); ++i)
        n = n * 10 + (type[i] - '0');
    return n;
}

std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

std::string fieldDefinitionText(const foxpro::FieldInfo& field) {
    std::string text(1, field.letter);
    switch (field.letter) {
        case 'C':
        case 'V':
        case 'Q':
            return text + "(" + std::to_string(field.width) + ")";
        case 'N':
        case 'F':
            return text + "(" + std::to_string(field.width) + "," + std::to_string(field.decimals) +
                   ")";
        default:
            return text;
    }
}

FieldColumn::FieldColumn(const foxpro::FieldInfo& field, const SideColumn& column,
                         const SideValueRules& rules)
    : field_(field), column_(column), rules_(rules) {
    if (field.typeCode >= foxpro::kTypeVarBinary)
        kind_ = Kind::Binary;
    else if (field.letter == 'M')
        kind_ = Kind::Memo;
    else if (field.typeCode == foxpro::kTypeChar || field.typeCode == foxpro::kTypeVarChar)
        kind_ = Kind::Text;
    else if (field.typeCode == foxpro::kTypeDouble)
        kind_ = Kind::Real;
    else if (field.typeCode == foxpro::kTypeDate)
        kind_ = Kind::Date;
    else if (field.typeCode == foxpro::kTypeTimestamp)
        kind_ = Kind::DateTime;
    else if (field.typeCode == foxpro::kTypeBoolean)
        kind_ = Kind::Logical;
    else
        kind_ = Kind::Number;
    const std::string& type = column.type;
    realColumn_ = type.find("real") != std::string::npos ||
                  type.find("double") != std::string::npos ||
                  type.find("float") != std::string::npos;
    const int length = declaredTextLength(type);
    if ((kind_ == Kind::Text) && length > 0 && length < field.width) narrower_ = length;
}

NormalValue FieldColumn::normalText(std::string text, bool trimBlanks) const {
    if (trimBlanks) {
        std::size_t end = text.size();
        while (end > 0 && text[end - 1] == ' ') --end;
        text.resize(end);
    }
    if (text.empty()) return {NormalValue::State::Empty, {}};
    if (rules_.foldCase) text = rules_.foldCase(text);
    return {NormalValue::State::Value, std::move(text)};
}

NormalValue FieldColumn::fox(const foxpro::Value& value, bool trueNull) const {
    using State = NormalValue::State;
    if (trueNull) return {State::Null, {}};
    // The reader gives an empty date, datetime or logical as null.
    if (value.isNull())
        return {kind_ == Kind::Date || kind_ == Kind::DateTime || kind_ == Kind::Logical
                    ? State::Empty
                    : State::Null,
                {}};
    switch (kind_) {
        case Kind::Text:
        case Kind::Memo:
            return normalText(value.str(), kind_ == Kind::Text || rules_.trimBlanks);
        case Kind::Binary:
            if (value.str().empty()) return {State::Empty, {}};
            return {State::Value, value.str()};
        case Kind::Number:
        case Kind::Real: {
            const auto number = foxpro::exactNumberText(value);
            if (!number) return {State::Invalid, foxpro::textForm(value, foxpro::TextLocale::c())};
            return {State::Value, foxpro::canonicalDecimal(*number)};
        }
        case Kind::Date:
            return {State::Value, dateText(value.asDate())};
        case Kind::DateTime:
            return {State::Value, dateTimeText(value.asDateTime())};
        case Kind::Logical:
            return {State::Value, value.asLogical() ? "T" : "F"};
    }
    return {State::Invalid, {}};
}

NormalValue FieldColumn::sideDay(const SideCell& cell, bool withTime) {
    using State = NormalValue::State;
    const std::string_view text = trimmed(cell.text);
    std::int64_t seconds = 0;
    if (cell.storage == CellStorage::Text && isoSeconds(text, seconds))
        return fromSeconds(seconds, withTime);
    if (!isNumberText(text)) return {State::Invalid, cell.text};
    // A number: SQLite's julian day numbers (julianday()), days since 1970,
    // or seconds since 1970 (strftime('%s'); a datetime's own number), told
    // apart by size per value.
    const long double n = numberOf(std::string(text));
    const bool julian = std::fabs(n) >= kJulianFloor && std::fabs(n) < kJulianCeiling;
    if (!withTime && !julian && std::fabs(n) >= kJulianCeiling) {
        ++days_.seconds;
        return fromSeconds(static_cast<std::int64_t>(std::llround(n)), false);
    }
    if (julian) {
        ++days_.julian;
        // A whole number is a day's own number (the day whose noon it is).
        if (!withTime && n == std::floor(n))
            return fromSeconds((static_cast<std::int64_t>(n) - kJulianOfUnixEpoch) * 86400, false);
        // Julian days begin at noon: 2458850.5 is the midnight that begins 2020-01-02.
        const long double shifted = n + 0.5L - static_cast<long double>(kJulianOfUnixEpoch);
        const long double day = std::floor(shifted);
        const auto s = static_cast<std::int64_t>(std::llround((shifted - day) * 86400.0L));
        return fromSeconds(static_cast<std::int64_t>(day) * 86400 + s, withTime);
    }
    ++days_.unix;
    if (withTime) return fromSeconds(static_cast<std::int64_t>(std::llround(n)), true);
    const long double day = std::floor(n);
    const auto s = static_cast<std::int64_t>(std::llround((n - day) * 86400.0L));
    return fromSeconds(static_cast<std::int64_t>(day) * 86400 + s, false);
}

NormalValue FieldColumn::side(const SideCell& cell) {
    using State = NormalValue::State;
    // A CSV field left empty is marked null as well: blank first.
    if (cell.blank) return {State::Blank, {}};
    if (cell.null) return {State::Null, {}};
    switch (kind_) {
        case Kind::Text:
        case Kind::Memo:
            return normalText(cell.text, kind_ == Kind::Text || rules_.trimBlanks);
        case Kind::Binary: {
            if (cell.storage == CellStorage::Blob || cell.text.empty())
                return cell.text.empty() ? NormalValue{State::Empty, {}}
                                         : NormalValue{State::Value, cell.text};
            // Text of a file: hex digits, "0h", "0x" or "\x" before them.
            std::string_view hex = trimmed(cell.text);
            if (hex.size() >= 2 && (hex[0] == '0' || hex[0] == '\\') &&
                (hex[1] == 'h' || hex[1] == 'x' || hex[1] == 'H' || hex[1] == 'X'))
                hex.remove_prefix(2);
            if (hex.size() % 2 != 0) return {State::Invalid, cell.text};
            std::string bytes;
            for (std::size_t i = 0; i < hex.size(); i += 2) {
                const int high = hexDigit(hex[i]);
                const int low = hexDigit(hex[i + 1]);
                if (high < 0 || low < 0) return {State::Invalid, cell.text};
                bytes += static_cast<char>(high * 16 + low);
            }
            if (bytes.empty()) return {State::Empty, {}};
            return {State::Value, std::move(bytes)};
        }
        case Kind::Number:
        case Kind::Real: {
            const std::string_view text = trimmed(cell.text);
            if (text.empty()) return {State::Empty, {}};
            if (!isNumberText(text)) return {State::Invalid, cell.text};
            NormalValue v{State::Value, foxpro::canonicalDecimal(text)};
            // N and F only: a real number is no way to store currency or integers.
            v.approximate = (field_.letter == 'N' || field_.letter == 'F') &&
                            (cell.storage == CellStorage::Real || realColumn_);
            return v;
        }
        case Kind::Date:
        case Kind::DateTime:
            if (trimmed(cell.text).empty()) return {State::Empty, {}};
            return sideDay(cell, kind_ == Kind::DateTime);
        case Kind::Logical: {
            const std::string word = lower(trimmed(cell.text));
            if (word.empty()) return {State::Empty, {}};
            if (word == "t" || word == "true" || word == "1" || word == "y" || word == "yes" ||
                word == ".t.")
                return {State::Value, "T"};
            if (word == "f" || word == "false" || word == "0" || word == "n" || word == "no" ||
                word == ".f.")
                return {State::Value, "F"};
            return {State::Invalid, cell.text};
        }
    }
    return {State::Invalid, cell.text};
}

bool FieldColumn::equal(const NormalValue& fox, const NormalValue& side) const {
    using State = NormalValue::State;
    const auto empty = [&](State s) {
        return s == State::Empty || (rules_.emptyIsNull && s == State::Null);
    };
    if (side.state == State::Blank) return fox.state == State::Null || empty(fox.state);
    if (fox.state != side.state) {
        if (!rules_.emptyIsNull) return false;
        return (fox.state == State::Null || fox.state == State::Empty) &&
               (side.state == State::Null || side.state == State::Empty);
    }
    if (fox.state == State::Invalid) return false;
    if (fox.state != State::Value) return true;
    if (fox.text == side.text) return true;
    if (kind_ != Kind::Number && kind_ != Kind::Real) return false;
    if (kind_ == Kind::Real && rules_.tolerance.empty()) return sameReal(fox.text, side.text);
    const long double a = numberOf(fox.text);
    const long double b = numberOf(side.text);
    const long double difference = std::fabs(a - b);
    // Both numbers are decimals read into long doubles: a tolerance allows
    // for the last bits of their reading.
    const long double scale = std::max({std::fabs(a), std::fabs(b), 1.0L});
    if (!rules_.tolerance.empty() && difference <= numberOf(rules_.tolerance) + scale * 1e-15L)
        return true;
    if (kind_ == Kind::Real) return sameReal(fox.text, side.text);
    if (!side.approximate) return false;
    // A real number holds the decimal only nearly: within half a unit of the last decimal.
    const long double half = 0.5L * std::pow(10.0L, -field_.decimals);
    return difference <= half * (1 + 1e-9L);
}

std::string FieldColumn::key(const NormalValue& value) const {
    using State = NormalValue::State;
    switch (value.state) {
        case State::Null:
            return "0";
        case State::Empty:
        case State::Blank:
            return rules_.emptyIsNull ? "0" : "E";
        case State::Invalid:
            return std::string("X").append(value.text);
        case State::Value:
            break;
    }
    if (kind_ == Kind::Real || (kind_ == Kind::Number && value.approximate)) {
        char text[80];
        if (kind_ == Kind::Real)
            std::snprintf(text, sizeof text, "%.15g", std::strtod(value.text.c_str(), nullptr));
        else
            std::snprintf(text, sizeof text, "%.*Lf", field_.decimals, numberOf(value.text));
        return std::string("V").append(foxpro::canonicalDecimal(text));
    }
    return std::string("V").append(value.text);
}

std::string FieldColumn::foxKey(const foxpro::Value& value, bool trueNull) const {
    return key(fox(value, trueNull));
}

std::string FieldColumn::sideKey(const SideCell& cell) {
    return key(side(cell));
}

std::string FieldColumn::description() const {
    std::string text = fieldDefinitionText(field_) + " as " +
                       (column_.type.empty() ? std::string("untyped") : column_.type);
    std::vector<std::string> kinds;
    if (days_.julian > 0) kinds.emplace_back("julian day numbers");
    if (days_.unix > 0)
        kinds.emplace_back(kind_ == Kind::DateTime ? "unix seconds" : "unix day numbers");
    if (days_.seconds > 0) kinds.emplace_back("unix seconds");
    for (std::size_t i = 0; i < kinds.size(); ++i)
        text += (i == 0 ? ", " : i + 1 == kinds.size() ? " and " : ", ") + kinds[i];
    return text;
}

bool FieldColumn::cut(const foxpro::Value& value) const {
    if (narrower_ == 0 || value.kind() != foxpro::Value::Kind::Text) return false;
    std::string_view text = value.str();
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return characters(text) > static_cast<std::size_t>(narrower_);
}

}  // namespace quorvel::sides
