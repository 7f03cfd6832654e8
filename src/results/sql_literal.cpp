#include "results/sql_literal.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <utility>

#include "foxpro/format/literal_text.h"
#include "foxpro/text/text_form.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::results {

namespace {

using foxpro::Value;

enum class Target { Text, Number, Date, DateTime, Logical, Binary };

Target targetOf(const foxpro::FieldInfo& field) {
    switch (field.letter) {
        case 'C':
        case 'V':
        case 'M':
            // Binary character fields (NOCPTRANS) still hold text.
            return Target::Text;
        case 'N':
        case 'F':
        case 'I':
        case 'Y':
            return Target::Number;
        case 'B':
            // A dBase B field is a memo reference; the Visual FoxPro B is a double.
            return field.memo ? Target::Binary : Target::Number;
        case 'D':
            return Target::Date;
        case 'T':
            return Target::DateTime;
        case 'L':
            return Target::Logical;
        default:
            return Target::Binary;  // Q, G, W, P
    }
}

std::string describe(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Bytes:
            return "binary data of " + std::to_string(value.str().size()) + " bytes";
        default:
            return "\"" + foxpro::textForm(value, foxpro::TextLocale::c()) + "\"";
    }
}

[[noreturn]] void cannotWrite(const Value& value, const foxpro::FieldInfo& target) {
    throw std::invalid_argument("cannot write " + describe(value) + " into field " + target.name +
                                " (type " + std::string(1, target.letter) + ")");
}

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string dateText(const foxpro::Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

std::string dateTimeText(const foxpro::DateTime& dt) {
    return dateText(dt.date) + " " + twoDigits(dt.hour) + ":" + twoDigits(dt.minute) + ":" +
           twoDigits(dt.second);
}

// A number held as text, as the literal of the statements' dialect: the
// dialect's own number rule (sign, digits with at most one point, exponent;
// blanks around it allowed, since character fields are padded), so that
// "12 apples" or "" is never taken for a number.  nullopt when it is none.
std::optional<std::string> numberFromText(const std::string& text) {
    if (!foxpro::isNumberText(text)) return std::nullopt;
    const auto first = text.find_first_not_of(" \t");
    std::string trimmed = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (trimmed.front() == '+') trimmed.erase(0, 1);
    return trimmed;
}

// A date or datetime held as text, read by the dialect's own rule (ISO
// order); hasTime tells whether a time of day was written.
bool dateTimeFromText(const std::string& text, foxpro::DateTime& out, bool& hasTime) {
    bool dateOnly = false;
    const auto parsed = foxpro::parseIsoDateTime(text, &dateOnly);
    if (!parsed) return false;
    out = *parsed;
    hasTime = !dateOnly;
    return true;
}

std::string hexLiteral(const std::string& bytes) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string out = "0h";
    out.reserve(2 + bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

}  // namespace

std::string bytesLiteral(const std::string& bytes) {
    return hexLiteral(bytes);
}

std::string quotedText(const std::string& text) {
    std::string out = "'";
    out.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string numberText(const Value& value) {
    if (auto text = foxpro::exactNumberText(value)) return *std::move(text);
    if (value.kind() == Value::Kind::Double) throw std::invalid_argument("not a finite number");
    throw std::invalid_argument(describe(value) + " is not a number");
}

std::string sqlLiteral(const Value& value, const foxpro::FieldInfo& target) {
    if (value.isNull()) return "NULL";
    const Value::Kind kind = value.kind();
    if (kind == Value::Kind::Double && !std::isfinite(value.asDouble())) cannotWrite(value, target);
    switch (targetOf(target)) {
        case Target::Text:
            if (kind == Value::Kind::Text || kind == Value::Kind::Bytes)
                return quotedText(value.str());
            if (kind == Value::Kind::Integer || kind == Value::Kind::Decimal ||
                kind == Value::Kind::Currency || kind == Value::Kind::Double)
                return quotedText(numberText(value));
            return quotedText(foxpro::textForm(value, foxpro::TextLocale::c()));
        case Target::Number:
            if (kind == Value::Kind::Text) {
                const auto number = numberFromText(value.str());
                if (!number) cannotWrite(value, target);
                return *number;
            }
            if (kind == Value::Kind::Integer || kind == Value::Kind::Decimal ||
                kind == Value::Kind::Currency || kind == Value::Kind::Double)
                return numberText(value);
            cannotWrite(value, target);
        case Target::Date: {
            if (kind == Value::Kind::Date) return "{^" + dateText(value.asDate()) + "}";
            foxpro::DateTime dt;
            bool hasTime = false;
            if (kind == Value::Kind::DateTime) {
                dt = value.asDateTime();
                hasTime = dt.hour != 0 || dt.minute != 0 || dt.second != 0;
            } else if (kind != Value::Kind::Text || !dateTimeFromText(value.str(), dt, hasTime)) {
                cannotWrite(value, target);
            }
            // A date field cannot keep a time of day: refuse rather than drop it.
            if (hasTime) cannotWrite(value, target);
            return "{^" + dateText(dt.date) + "}";
        }
        case Target::DateTime: {
            if (kind == Value::Kind::DateTime) return "{^" + dateTimeText(value.asDateTime()) + "}";
            if (kind == Value::Kind::Date)
                return "{^" + dateTimeText(foxpro::DateTime{value.asDate(), 0, 0, 0}) + "}";
            foxpro::DateTime dt;
            bool hasTime = false;
            if (kind != Value::Kind::Text || !dateTimeFromText(value.str(), dt, hasTime))
                cannotWrite(value, target);
            return "{^" + dateTimeText(dt) + "}";
        }
        case Target::Logical:
            if (kind == Value::Kind::Logical) return value.asLogical() ? "True" : "False";
            if (kind == Value::Kind::Text) {
                std::string t;
                for (char c : value.str())
                    if (c != ' ') t += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                if (t == "TRUE" || t == ".T." || t == "T") return "True";
                if (t == "FALSE" || t == ".F." || t == "F") return "False";
            }
            cannotWrite(value, target);
        case Target::Binary:
            if (kind == Value::Kind::Bytes || kind == Value::Kind::Text)
                return hexLiteral(value.str());
            cannotWrite(value, target);
    }
    cannotWrite(value, target);
}

std::string sqlLiteral(const Value& value, const foxpro::FieldInfo& source,
                       const foxpro::FieldInfo& target) {
    if (value.isNull() && (!source.nullable || !target.nullable)) return "''";
    return sqlLiteral(value, target);
}

}  // namespace quorvel::results
