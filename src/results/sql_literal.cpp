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

namespace {

// A literal before it is written out: its kind and its content (Text: the
// text, Number: as written, Binary: the bytes, Date and DateTime: the text
// between "{^" and "}").  The text form and the parsed form both come
// from it, so the two cannot drift apart.
struct Formed {
    foxpro::Literal::Kind kind = foxpro::Literal::Kind::Null;
    std::string text;
    bool logical = false;
};

Formed formed(foxpro::Literal::Kind kind, std::string text) {
    return Formed{kind, std::move(text), false};
}

Formed textFormed(std::string text) {
    return formed(foxpro::Literal::Kind::Text, std::move(text));
}

Formed logicalFormed(bool on) {
    return Formed{foxpro::Literal::Kind::Logical, {}, on};
}

Formed formLiteral(const Value& value, const foxpro::FieldInfo& target) {
    using K = foxpro::Literal::Kind;
    if (value.isNull()) return Formed{};
    const Value::Kind kind = value.kind();
    if (kind == Value::Kind::Double && !std::isfinite(value.asDouble())) cannotWrite(value, target);
    switch (targetOf(target)) {
        case Target::Text:
            if (kind == Value::Kind::Text || kind == Value::Kind::Bytes)
                return textFormed(value.str());
            if (kind == Value::Kind::Integer || kind == Value::Kind::Decimal ||
                kind == Value::Kind::Currency || kind == Value::Kind::Double)
                return textFormed(numberText(value));
            return textFormed(foxpro::textForm(value, foxpro::TextLocale::c()));
        case Target::Number:
            if (kind == Value::Kind::Text) {
                auto number = numberFromText(value.str());
                if (!number) cannotWrite(value, target);
                return formed(K::Number, *std::move(number));
            }
            if (kind == Value::Kind::Integer || kind == Value::Kind::Decimal ||
                kind == Value::Kind::Currency || kind == Value::Kind::Double)
                return formed(K::Number, numberText(value));
            cannotWrite(value, target);
        case Target::Date: {
            if (kind == Value::Kind::Date) return formed(K::Date, dateText(value.asDate()));
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
            return formed(K::Date, dateText(dt.date));
        }
        case Target::DateTime: {
            if (kind == Value::Kind::DateTime)
                return formed(K::DateTime, dateTimeText(value.asDateTime()));
            if (kind == Value::Kind::Date)
                return formed(K::DateTime, dateTimeText(foxpro::DateTime{value.asDate(), 0, 0, 0}));
            foxpro::DateTime dt;
            bool hasTime = false;
            if (kind != Value::Kind::Text || !dateTimeFromText(value.str(), dt, hasTime))
                cannotWrite(value, target);
            return formed(K::DateTime, dateTimeText(dt));
        }
        case Target::Logical:
            if (kind == Value::Kind::Logical) return logicalFormed(value.asLogical());
            if (kind == Value::Kind::Text) {
                std::string t;
                for (char c : value.str())
                    if (c != ' ') t += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                if (t == "TRUE" || t == ".T." || t == "T") return logicalFormed(true);
                if (t == "FALSE" || t == ".F." || t == "F") return logicalFormed(false);
            }
            cannotWrite(value, target);
        case Target::Binary:
            if (kind == Value::Kind::Bytes || kind == Value::Kind::Text)
                return formed(K::Binary, value.str());
            cannotWrite(value, target);
    }
    cannotWrite(value, target);
}

Formed formLiteral(const Value& value, const foxpro::FieldInfo& source,
                   const foxpro::FieldInfo& target) {
    if (value.isNull() && (!source.nullable || !target.nullable)) return textFormed("");
    return formLiteral(value, target);
}

std::string written(const Formed& f) {
    using K = foxpro::Literal::Kind;
    switch (f.kind) {
        case K::Text:
            return quotedText(f.text);
        case K::Number:
            return f.text;
        case K::Binary:
        case K::Stored:  // never formed from a value
            return hexLiteral(f.text);
        case K::Logical:
            return f.logical ? "True" : "False";
        case K::Date:
        case K::DateTime:
            return "{^" + f.text + "}";
        case K::Null:
            break;
    }
    return "NULL";
}

// A number literal as the statement tokenizer reads it: from a digit (or a
// sign or point before one) over digits, points and exponents, and the
// whole of it a number.  Other texts would not read back as this number.
bool readsBackAsNumber(const std::string& t) {
    auto digit = [&](std::size_t i) { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
    if (t.empty()) return false;
    const char c = t[0];
    if (c == '0' && t.size() > 1 && (t[1] == 'h' || t[1] == 'H')) return false;
    if (!digit(0) && !((c == '-' || c == '+' || c == '.') &&
                       (digit(1) || (t.size() > 1 && t[1] == '.' && c != '.' && digit(2)))))
        return false;
    std::size_t pos = 1;
    bool plain = true;  // digits with at most one point: a number for certain
    int points = c == '.' ? 1 : 0;
    while (pos < t.size()) {
        if (digit(pos)) {
            ++pos;
        } else if (t[pos] == '.') {
            plain = plain && ++points == 1;
            ++pos;
        } else if (t[pos] == 'e' || t[pos] == 'E') {
            plain = false;
            ++pos;
            if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) ++pos;
        } else {
            return false;
        }
    }
    return plain || foxpro::isNumberText(t);
}

std::optional<foxpro::Literal> parsedForm(Formed f) {
    using K = foxpro::Literal::Kind;
    foxpro::Literal lit;
    lit.kind = f.kind;
    switch (f.kind) {
        case K::Number:
            if (!readsBackAsNumber(f.text)) return std::nullopt;
            lit.text = std::move(f.text);
            break;
        case K::Text:
        case K::Binary:
        case K::Stored:
            lit.text = std::move(f.text);
            break;
        case K::Logical:
            lit.logical = f.logical;
            break;
        case K::Date:
        case K::DateTime: {
            // Read as the parser reads what stands between the braces.
            bool dateOnly = true;
            const auto dt = foxpro::parseIsoDateTime(f.text, &dateOnly);
            if (!dt) return std::nullopt;
            lit.kind = dateOnly ? K::Date : K::DateTime;
            lit.dateTime = *dt;
            break;
        }
        case K::Null:
            break;
    }
    return lit;
}

}  // namespace

std::string sqlLiteral(const Value& value, const foxpro::FieldInfo& target) {
    return written(formLiteral(value, target));
}

std::string sqlLiteral(const Value& value, const foxpro::FieldInfo& source,
                       const foxpro::FieldInfo& target) {
    return written(formLiteral(value, source, target));
}

std::optional<foxpro::Literal> parsedLiteral(const Value& value, const foxpro::FieldInfo& source,
                                             const foxpro::FieldInfo& target) {
    return parsedForm(formLiteral(value, source, target));
}

foxpro::Literal parsedBytesLiteral(std::string bytes) {
    foxpro::Literal lit;
    lit.kind = foxpro::Literal::Kind::Binary;
    lit.text = std::move(bytes);
    return lit;
}

}  // namespace quorvel::results
