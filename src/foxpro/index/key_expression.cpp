#include "foxpro/index/key_expression.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "foxpro/ascii_case.h"
#include "foxpro/civil_date.h"
#include "foxpro/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_format.h"
#include "foxpro/index/key_case.h"
#include "foxpro/table_reader.h"

namespace quorvel::foxpro {

namespace {

[[noreturn]] void refuse(const std::string& reason) {
    throw FoxProError(kErrorInvalidArgument, reason);
}

// ---- Steps ----

enum class Op {
    Field,
    Number,   // literal
    String,   // literal
    Logical,  // .T. / .F.
    Deleted,
    Not,
    Concat,
    Upper,
    Lower,
    AllTrim,
    LTrim,
    RTrim,
    PadL,
    PadR,
    Left,
    Right,
    Substr,
    Str,
    Dtos,
    Ttoc,
    Bintoc
};

struct Function {
    const char* name;
    Op op;
    int minArgs;
    int maxArgs;
    bool pairs;  // may stand in a key that pairs records
};

// TRIM is RTRIM under another name.
constexpr Function kFunctions[] = {
    {"UPPER", Op::Upper, 1, 1, true},     {"LOWER", Op::Lower, 1, 1, true},
    {"ALLTRIM", Op::AllTrim, 1, 1, true}, {"LTRIM", Op::LTrim, 1, 1, true},
    {"RTRIM", Op::RTrim, 1, 1, true},     {"TRIM", Op::RTrim, 1, 1, true},
    {"PADL", Op::PadL, 2, 3, true},       {"PADR", Op::PadR, 2, 3, true},
    {"LEFT", Op::Left, 2, 2, false},      {"RIGHT", Op::Right, 2, 2, false},
    {"SUBSTR", Op::Substr, 2, 3, false},  {"STR", Op::Str, 1, 3, true},
    {"DTOS", Op::Dtos, 1, 1, true},       {"TTOC", Op::Ttoc, 2, 2, true},
    {"BINTOC", Op::Bintoc, 1, 2, true},   {"DELETED", Op::Deleted, 0, 0, false},
};

// FoxPro takes a function name cut to its first four letters or more.
const Function* findFunction(const std::string& upperName) {
    for (const auto& f : kFunctions)
        if (upperName == f.name) return &f;
    if (upperName.size() < 4) return nullptr;
    for (const auto& f : kFunctions)
        if (std::string_view(f.name).starts_with(upperName)) return &f;
    return nullptr;
}

enum class VKind { Text, Number, Integer, Date, DateTime, Logical };

const char* kindName(VKind k) {
    switch (k) {
        case VKind::Text:
            return "text";
        case VKind::Number:
        case VKind::Integer:
            return "a number";
        case VKind::Date:
            return "a date";
        case VKind::DateTime:
            return "a datetime";
        case VKind::Logical:
            return "a logical value";
    }
    return "";
}

struct Step {
    Op op = Op::Field;
    std::string name;          // field or function as written
    std::string text;          // String literal; PADL/PADR fill
    double number = 0;         // Number literal
    bool logical = false;      // Logical literal
    std::vector<double> args;  // the literal arguments after the first
    // Filled when typed for a table.
    int field = -1;
    VKind kind = VKind::Text;
    int width = 0;
    bool nullable = false;
};

Step makeStep(Op op, std::string name) {
    Step s;
    s.op = op;
    s.name = std::move(name);
    return s;
}

// ---- Tokens and parser ----

struct Token {
    enum Type { End, Name, Number, String, Open, Close, Comma, Plus, Not, True, False, Other };
    Type type = End;
    std::string text;
    double number = 0;
};

class Parser {
  public:
    explicit Parser(std::string_view s) : s_(s) { next(); }

    std::vector<Step> parse() {
        expression();
        if (token_.type != Token::End) unexpected();
        return std::move(steps_);
    }

  private:
    [[noreturn]] void unexpected() {
        if (token_.type == Token::Other) {
            if (equalsNoCase(token_.text, ".AND.") || equalsNoCase(token_.text, ".OR.") ||
                equalsNoCase(token_.text, "AND") || equalsNoCase(token_.text, "OR"))
                refuse("operator " + upperAscii(token_.text) + " is not supported");
            refuse("operator " + token_.text + " is not supported");
        }
        if (token_.type == Token::End) refuse("the expression ends too early");
        refuse("unexpected " + token_.text);
    }

    void next() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
        token_ = Token{};
        if (pos_ >= s_.size()) return;
        const std::size_t start = pos_;
        const char c = s_[pos_];
        auto isLetter = [](char ch) {
            return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '_';
        };
        auto isDigit = [](char ch) { return ch >= '0' && ch <= '9'; };
        if (isLetter(c)) {
            while (pos_ < s_.size() && (isLetter(s_[pos_]) || isDigit(s_[pos_]))) ++pos_;
            token_.text = std::string(s_.substr(start, pos_ - start));
            const std::string upper = upperAscii(token_.text);
            token_.type = upper == "NOT"                    ? Token::Not
                          : upper == "AND" || upper == "OR" ? Token::Other
                                                            : Token::Name;
            return;
        }
        if (isDigit(c) || (c == '.' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1]))) {
            while (pos_ < s_.size() && (isDigit(s_[pos_]) || s_[pos_] == '.')) ++pos_;
            token_.text = std::string(s_.substr(start, pos_ - start));
            const auto r = std::from_chars(token_.text.data(),
                                           token_.text.data() + token_.text.size(), token_.number);
            if (r.ec != std::errc{} || r.ptr != token_.text.data() + token_.text.size())
                refuse("the number " + token_.text + " is not valid");
            token_.type = Token::Number;
            return;
        }
        if (c == '.') {
            // .T. .F. .NOT. and the other dotted words.
            std::size_t end = pos_ + 1;
            while (end < s_.size() && isLetter(s_[end])) ++end;
            if (end < s_.size() && s_[end] == '.' && end > pos_ + 1) {
                token_.text = std::string(s_.substr(start, end + 1 - start));
                pos_ = end + 1;
                const std::string word = upperAscii(token_.text);
                token_.type = word == ".T." || word == ".Y."   ? Token::True
                              : word == ".F." || word == ".N." ? Token::False
                              : word == ".NOT."                ? Token::Not
                                                               : Token::Other;
                return;
            }
        }
        if (c == '"' || c == '\'' || c == '[') {
            const char close = c == '[' ? ']' : c;
            const std::size_t end = s_.find(close, pos_ + 1);
            if (end == std::string_view::npos) refuse("a text constant is not closed");
            token_.text = std::string(s_.substr(pos_ + 1, end - pos_ - 1));
            pos_ = end + 1;
            token_.type = Token::String;
            return;
        }
        ++pos_;
        token_.text = std::string(1, c);
        switch (c) {
            case '(':
                token_.type = Token::Open;
                return;
            case ')':
                token_.type = Token::Close;
                return;
            case ',':
                token_.type = Token::Comma;
                return;
            case '+':
                token_.type = Token::Plus;
                return;
            case '!':
                token_.type = Token::Not;
                return;
            default:
                // "->", "<>", "!=", "==" read as one operator in messages.
                if (pos_ < s_.size() &&
                    std::string_view("<>=!").find(s_[pos_]) != std::string_view::npos)
                    token_.text += s_[pos_++];
                else if (c == '-' && pos_ < s_.size() && s_[pos_] == '>')
                    token_.text += s_[pos_++];
                token_.type = Token::Other;
                return;
        }
    }

    void expression() {
        unary();
        while (token_.type == Token::Plus) {
            next();
            unary();
            steps_.push_back(makeStep(Op::Concat, "+"));
        }
        if (token_.type == Token::Other) unexpected();
    }

    void unary() {
        if (token_.type == Token::Not) {
            next();
            unary();
            steps_.push_back(makeStep(Op::Not, "NOT"));
            return;
        }
        primary();
    }

    void primary() {
        switch (token_.type) {
            case Token::Open:
                next();
                expression();
                if (token_.type != Token::Close) unexpected();
                next();
                return;
            case Token::True:
            case Token::False:
                steps_.push_back(makeStep(Op::Logical, token_.text));
                steps_.back().logical = token_.type == Token::True;
                next();
                return;
            case Token::Number:
                steps_.push_back(makeStep(Op::Number, token_.text));
                steps_.back().number = token_.number;
                next();
                return;
            case Token::String:
                steps_.push_back(makeStep(Op::String, token_.text));
                steps_.back().text = token_.text;
                next();
                return;
            case Token::Name:
                break;
            default:
                unexpected();
        }
        const std::string name = token_.text;
        next();
        if (token_.type != Token::Open) {
            steps_.push_back(makeStep(Op::Field, name));
            return;
        }
        const Function* f = findFunction(upperAscii(name));
        if (!f) refuse("function " + upperAscii(name) + "() is not supported");
        next();
        Step call = makeStep(f->op, f->name);
        int argc = 0;
        if (token_.type != Token::Close) {
            expression();
            ++argc;
            while (token_.type == Token::Comma) {
                next();
                ++argc;
                if (token_.type == Token::Number) {
                    call.args.push_back(token_.number);
                } else if (token_.type == Token::String &&
                           (f->op == Op::PadL || f->op == Op::PadR) && argc == 3) {
                    call.text = token_.text;
                } else {
                    refuse(std::string(f->name) + "() takes a literal number as argument " +
                           std::to_string(argc));
                }
                next();
            }
        }
        if (token_.type != Token::Close) unexpected();
        next();
        if (argc < f->minArgs || argc > f->maxArgs)
            refuse(std::string(f->name) + "() takes " +
                   (f->minArgs == f->maxArgs
                        ? std::to_string(f->minArgs)
                        : std::to_string(f->minArgs) + " to " + std::to_string(f->maxArgs)) +
                   (f->maxArgs == 1 ? " argument" : " arguments"));
        steps_.push_back(std::move(call));
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    Token token_;
    std::vector<Step> steps_;
};

const Function* functionOf(Op op) {
    for (const auto& f : kFunctions)
        if (f.op == op) return &f;
    return nullptr;
}

bool isText(VKind k) {
    return k == VKind::Text;
}
bool isNumeric(VKind k) {
    return k == VKind::Number || k == VKind::Integer;
}

int literalInt(const Step& s, std::size_t i, int fallback) {
    if (i >= s.args.size()) return fallback;
    const double v = s.args[i];
    if (v != std::floor(v) || v < 0 || v > 255)
        refuse(std::string(s.name) + "() takes a whole number from 0 to 255 as argument " +
               std::to_string(i + 2));
    return static_cast<int>(v);
}

// Gives every step its kind and width for the table's fields, as a stack
// machine would see them.
void typeSteps(std::vector<Step>& steps, const TableLayout& layout, bool forClause,
               bool caseMapsAvailable) {
    std::vector<Step*> stack;
    auto pop = [&]() {
        Step* s = stack.back();
        stack.pop_back();
        return s;
    };
    for (Step& s : steps) {
        const Step* a = nullptr;
        if (s.op == Op::Concat) {
            const Step* b = pop();
            a = pop();
            if (!isText(a->kind) || !isText(b->kind))
                refuse("\"+\" of " + std::string(kindName(isText(a->kind) ? b->kind : a->kind)) +
                       " is not supported (only text is joined)");
            s.kind = VKind::Text;
            s.width = a->width + b->width;
            s.nullable = a->nullable || b->nullable;
            stack.push_back(&s);
            continue;
        }
        if (s.op != Op::Field && s.op != Op::Number && s.op != Op::String && s.op != Op::Logical &&
            s.op != Op::Deleted) {
            a = pop();
            s.nullable = a->nullable;
        }
        auto needs = [&](bool ok, const char* what) {
            if (!ok)
                refuse(std::string(s.name) + "() needs " + what + ", not " + kindName(a->kind));
        };
        switch (s.op) {
            case Op::Field: {
                int index = -1;
                for (std::size_t i = 0; i < layout.fields.size(); ++i)
                    if (equalsNoCase(layout.fields[i].name, s.name)) index = static_cast<int>(i);
                if (index < 0) refuse("no field " + s.name);
                const FieldInfo& f = layout.fields[static_cast<std::size_t>(index)];
                s.field = index;
                s.nullable = f.nullable;
                const bool memo = f.memo;
                switch (memo ? 'M' : f.letter) {
                    case 'C':
                        s.kind = VKind::Text;
                        s.width = f.width;
                        break;
                    case 'N':
                    case 'F':
                    case 'B':
                    case 'Y':
                        s.kind = VKind::Number;
                        break;
                    case 'I':
                        s.kind = VKind::Integer;
                        break;
                    case 'D':
                        s.kind = VKind::Date;
                        break;
                    case 'T':
                        s.kind = VKind::DateTime;
                        break;
                    case 'L':
                        s.kind = VKind::Logical;
                        break;
                    default:
                        refuse("field " + f.name + " of type " + std::string(1, f.letter) +
                               " is not supported in keys");
                }
                break;
            }
            case Op::Number:
                s.kind = VKind::Number;
                break;
            case Op::String:
                s.kind = VKind::Text;
                s.width = static_cast<int>(s.text.size());
                break;
            case Op::Logical:
                s.kind = VKind::Logical;
                break;
            case Op::Deleted:
                if (!forClause) refuse("DELETED() is only supported in FOR clauses");
                s.kind = VKind::Logical;
                break;
            case Op::Not:
                if (a->kind != VKind::Logical)
                    refuse("NOT needs a logical value, not " + std::string(kindName(a->kind)));
                s.kind = VKind::Logical;
                break;
            case Op::Upper:
            case Op::Lower:
                needs(isText(a->kind), "text");
                if (!caseMapsAvailable)
                    refuse(std::string(s.name) + "() on text of code page " +
                           std::to_string(layout.codePage) + " is not supported");
                s.width = a->width;
                break;
            case Op::AllTrim:
            case Op::LTrim:
            case Op::RTrim:
                needs(isText(a->kind), "text");
                s.width = a->width;
                break;
            case Op::PadL:
            case Op::PadR:
                needs(isText(a->kind), "text");
                s.width = literalInt(s, 0, 0);
                if (s.args.size() > 1)
                    refuse(std::string(s.name) + "() takes a text constant as its fill");
                if (s.text.empty()) s.text = " ";
                break;
            case Op::Left:
            case Op::Right:
                needs(isText(a->kind), "text");
                s.width = std::min(literalInt(s, 0, 0), a->width);
                break;
            case Op::Substr: {
                needs(isText(a->kind), "text");
                const int start = literalInt(s, 0, 1);
                if (start < 1) refuse("SUBSTR() needs a start of 1 or more");
                const int rest = std::max(0, a->width - start + 1);
                s.width = std::min(literalInt(s, 1, rest), rest);
                break;
            }
            case Op::Str: {
                needs(isNumeric(a->kind), "a number");
                s.width = literalInt(s, 0, 10);
                literalInt(s, 1, 0);
                if (s.width < 1) refuse("STR() needs a length of 1 or more");
                break;
            }
            case Op::Dtos:
                needs(a->kind == VKind::Date || a->kind == VKind::DateTime, "a date");
                s.width = 8;
                break;
            case Op::Ttoc:
                needs(a->kind == VKind::DateTime, "a datetime");
                if (s.args.size() != 1 || s.args[0] != 1)
                    refuse("TTOC() is supported with 1 as its second argument only");
                s.width = 14;
                break;
            case Op::Bintoc: {
                needs(isNumeric(a->kind), "a number");
                s.width = literalInt(s, 0, 4);
                if (s.width != 1 && s.width != 2 && s.width != 4)
                    refuse("BINTOC() is supported with a size of 1, 2 or 4 only");
                break;
            }
            case Op::Concat:
                break;
        }
        if (s.op != Op::Field && s.op != Op::Number && s.op != Op::String && s.op != Op::Logical &&
            s.op != Op::Not && s.op != Op::Deleted)
            s.kind = VKind::Text;
        stack.push_back(&s);
    }
}

// ---- Values while a record is evaluated ----

struct Item {
    VKind kind = VKind::Text;
    bool null = false;
    std::string text;
    double number = 0;
    std::string decimal;  // exact decimal text of a number, when it has one
    std::int64_t integer = 0;
    std::int64_t julian = 0;  // 0: the empty date
    std::int64_t ms = 0;
    bool logical = false;
};

void trimLeading(std::string& s) {
    const std::size_t n = s.find_first_not_of(' ');
    s.erase(0, n == std::string::npos ? s.size() : n);
}
void trimTrailing(std::string& s) {
    const std::size_t n = s.find_last_not_of(' ');
    s.erase(n == std::string::npos ? 0 : n + 1);
}

// The decimal text of a number, exact for the stored kinds.
std::string decimalOf(const Item& v) {
    if (!v.decimal.empty()) return v.decimal;
    char buffer[400];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, v.number, std::chars_format::fixed);
    return std::string(buffer, r.ptr);
}

// decimal ("-12.345") rounded half away from zero to decimals digits, in
// fixed notation ("-12.35"; no point for 0 digits).
std::string roundDecimal(const std::string& decimal, int decimals) {
    const bool negative = !decimal.empty() && decimal[0] == '-';
    std::string digits = decimal.substr(negative ? 1 : 0);
    const std::size_t dot = digits.find('.');
    std::string whole = dot == std::string::npos ? digits : digits.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : digits.substr(dot + 1);
    if (whole.empty()) whole = "0";
    bool up = fraction.size() > static_cast<std::size_t>(decimals) &&
              fraction[static_cast<std::size_t>(decimals)] >= '5';
    fraction.resize(static_cast<std::size_t>(decimals), '0');
    std::string all = whole + fraction;
    for (std::size_t i = all.size(); up && i > 0; --i) {
        if (all[i - 1] == '9') {
            all[i - 1] = '0';
        } else {
            ++all[i - 1];
            up = false;
        }
    }
    if (up) all.insert(all.begin(), '1');
    std::string out = all.substr(0, all.size() - static_cast<std::size_t>(decimals));
    if (decimals > 0) out += "." + all.substr(all.size() - static_cast<std::size_t>(decimals));
    const bool zero = all.find_first_not_of('0') == std::string::npos;
    return negative && !zero ? "-" + out : out;
}

// STR(): right-aligned in length; fewer decimals when they do not fit,
// asterisks when the whole part does not.
std::string strText(const Item& v, int length, int decimals) {
    const std::string decimal = decimalOf(v);
    for (int d = decimals; d >= 0; --d) {
        const std::string text = roundDecimal(decimal, d);
        if (text.size() <= static_cast<std::size_t>(length))
            return std::string(static_cast<std::size_t>(length) - text.size(), ' ') + text;
    }
    return std::string(static_cast<std::size_t>(length), '*');
}

std::string digits(std::int64_t v, int width) {
    std::string s = std::to_string(v);
    return std::string(
               static_cast<std::size_t>(std::max<int>(0, width - static_cast<int>(s.size()))),
               '0') +
           s;
}

std::string dateText(std::int64_t julian) {
    const Date d = civilFromDays(julian - dbf::kJulianDay1970);
    return digits(d.year, 4) + digits(d.month, 2) + digits(d.day, 2);
}

}  // namespace

// ---- Classification ----

KeyClassification classifyKeyExpression(std::string_view expression, const TableLayout* layout) {
    KeyClassification c;
    try {
        std::vector<Step> steps = Parser(expression).parse();
        if (layout) typeSteps(steps, *layout, false, true);
        // Each value on the stack: does it come from a field?
        std::vector<bool> stack;
        for (const Step& s : steps) {
            switch (s.op) {
                case Op::Field:
                    c.fields.push_back(s.name);
                    stack.push_back(true);
                    break;
                case Op::Concat:
                    stack.pop_back();
                    stack.pop_back();
                    stack.push_back(true);
                    break;
                case Op::Number:
                case Op::String:
                case Op::Logical:
                    refuse("the constant " + s.name + " is not a field");
                case Op::Not:
                case Op::Deleted:
                    refuse(std::string(s.name) + " is not a key function");
                default: {
                    const Function* f = functionOf(s.op);
                    if (!f->pairs) refuse(std::string(f->name) + "() is not a key function");
                    c.caseless = c.caseless || s.op == Op::Upper || s.op == Op::Lower;
                    c.trimsLeading = c.trimsLeading || s.op == Op::AllTrim || s.op == Op::LTrim;
                    c.trimsTrailing = c.trimsTrailing || s.op == Op::AllTrim || s.op == Op::RTrim;
                    break;
                }
            }
        }
        c.usable = true;
    } catch (const FoxProError& e) {
        c = KeyClassification{};
        c.reason = e.what();
    }
    return c;
}

// ---- Evaluation ----

struct KeyExpression::Program {
    std::vector<Step> steps;
    const TableReader* table = nullptr;
    std::optional<CaseMaps> caseMaps;
    mutable std::vector<Item> stack;  // kept between records for its buffers

    const Item& run(std::span<const std::uint8_t> record) const;
    void field(const Step& s, std::span<const std::uint8_t> record, Item& v) const;
};

void KeyExpression::Program::field(const Step& s, std::span<const std::uint8_t> record,
                                   Item& v) const {
    const FieldInfo& f = table->field(s.field);
    v.kind = s.kind;
    v.null = table->isNull(record, s.field);
    v.decimal.clear();
    if (v.null) return;
    const std::uint8_t* p = record.data() + f.offset;
    switch (f.letter) {
        case 'C':
            v.text.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(f.width));
            return;
        case 'N':
        case 'F': {
            v.decimal = table->value(record, s.field).str();
            std::from_chars(v.decimal.data(), v.decimal.data() + v.decimal.size(), v.number);
            return;
        }
        case 'I':
            v.integer = static_cast<std::int32_t>(dbf::le32(p));
            v.number = static_cast<double>(v.integer);
            v.decimal = std::to_string(v.integer);
            return;
        case 'Y': {
            const auto amount = static_cast<std::int64_t>(dbf::le64(p));
            v.number = static_cast<double>(amount) / 10000.0;
            const std::uint64_t magnitude = amount < 0 ? 0 - static_cast<std::uint64_t>(amount)
                                                       : static_cast<std::uint64_t>(amount);
            v.decimal = (amount < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." +
                        digits(static_cast<std::int64_t>(magnitude % 10000), 4);
            return;
        }
        case 'B': {
            const std::uint64_t bits = dbf::le64(p);
            std::memcpy(&v.number, &bits, sizeof v.number);
            return;
        }
        case 'D': {
            // Blanks, or anything that is no calendar date, are the empty date.
            v.julian = 0;
            int parts[8];
            for (int i = 0; i < 8; ++i) {
                if (p[i] < '0' || p[i] > '9') return;
                parts[i] = p[i] - '0';
            }
            const Date d{parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3],
                         parts[4] * 10 + parts[5], parts[6] * 10 + parts[7]};
            if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
                d.day > daysInMonth(d.year, d.month))
                return;
            v.julian = daysFromCivil(d) + dbf::kJulianDay1970;
            return;
        }
        case 'T':
            v.julian = dbf::le32(p);
            v.ms = dbf::le32(p + 4);
            return;
        case 'L':
            v.logical = p[0] == 'T' || p[0] == 't' || p[0] == 'Y' || p[0] == 'y';
            return;
        default:
            return;
    }
}

const Item& KeyExpression::Program::run(std::span<const std::uint8_t> record) const {
    std::size_t top = 0;  // items in use
    auto push = [&]() -> Item& {
        if (top == stack.size()) stack.emplace_back();
        Item& v = stack[top++];
        v.null = false;
        return v;
    };
    for (const Step& s : steps) {
        switch (s.op) {
            case Op::Field:
                field(s, record, push());
                continue;
            case Op::Number: {
                Item& v = push();
                v.kind = VKind::Number;
                v.number = s.number;
                v.decimal = s.name;
                continue;
            }
            case Op::String: {
                Item& v = push();
                v.kind = VKind::Text;
                v.text = s.text;
                continue;
            }
            case Op::Logical:
            case Op::Deleted: {
                Item& v = push();
                v.kind = VKind::Logical;
                v.logical = s.op == Op::Logical ? s.logical : record[0] == dbf::kRecordDeleted;
                continue;
            }
            case Op::Concat: {
                Item& b = stack[--top];
                Item& a = stack[top - 1];
                a.null = a.null || b.null;
                a.text += b.text;
                continue;
            }
            default:
                break;
        }
        Item& v = stack[top - 1];
        if (v.null) {
            v.kind = s.kind;
            continue;
        }
        std::string& t = v.text;
        switch (s.op) {
            case Op::Not:
                v.logical = !v.logical;
                break;
            case Op::Upper:
            case Op::Lower: {
                const auto& map = s.op == Op::Upper ? caseMaps->upper : caseMaps->lower;
                for (char& ch : t) ch = static_cast<char>(map[static_cast<std::uint8_t>(ch)]);
                break;
            }
            case Op::AllTrim:
                trimLeading(t);
                trimTrailing(t);
                break;
            case Op::LTrim:
                trimLeading(t);
                break;
            case Op::RTrim:
                trimTrailing(t);
                break;
            case Op::PadL:
            case Op::PadR: {
                const auto width = static_cast<std::size_t>(s.width);
                if (t.size() >= width) {
                    t.resize(width);
                } else if (s.op == Op::PadL) {
                    t.insert(0, width - t.size(), s.text[0]);
                } else {
                    t.append(width - t.size(), s.text[0]);
                }
                break;
            }
            case Op::Left:
                t.resize(std::min(t.size(), static_cast<std::size_t>(s.width)));
                break;
            case Op::Right: {
                const auto n = std::min(t.size(), static_cast<std::size_t>(s.args[0]));
                t.erase(0, t.size() - n);
                break;
            }
            case Op::Substr: {
                const auto start = static_cast<std::size_t>(s.args[0]) - 1;
                if (start >= t.size()) {
                    t.clear();
                } else {
                    t = t.substr(start, s.args.size() > 1 ? static_cast<std::size_t>(s.args[1])
                                                          : std::string::npos);
                }
                break;
            }
            case Op::Str:
                t = strText(v, s.width, s.args.size() > 1 ? static_cast<int>(s.args[1]) : 0);
                break;
            case Op::Dtos:
                t = v.julian == 0 && (v.kind == VKind::Date || v.ms == 0) ? std::string(8, ' ')
                                                                          : dateText(v.julian);
                break;
            case Op::Ttoc: {
                if (v.julian == 0 && v.ms == 0) {
                    t.assign(14, ' ');
                    break;
                }
                // Seconds rounded as the table reader rounds them.
                std::int64_t julian = v.julian;
                std::int64_t seconds = (v.ms + 500) / 1000;
                if (seconds >= 86400) {
                    seconds -= 86400;
                    ++julian;
                }
                t = dateText(julian) + digits(seconds / 3600, 2) + digits(seconds / 60 % 60, 2) +
                    digits(seconds % 60, 2);
                break;
            }
            case Op::Bintoc: {
                if (v.number != std::floor(v.number))
                    refuse("BINTOC() of a number with decimals (" + decimalOf(v) + ")");
                const int bits = s.width * 8;
                const double limit = std::ldexp(1.0, bits - 1);
                if (v.number < -limit || v.number >= limit)
                    refuse("BINTOC() value " + decimalOf(v) + " does not fit " +
                           std::to_string(s.width) + " bytes");
                const auto raw = static_cast<std::uint64_t>(static_cast<std::int64_t>(v.number)) ^
                                 (std::uint64_t{1} << (bits - 1));
                t.clear();
                for (int i = s.width - 1; i >= 0; --i)
                    t += static_cast<char>(static_cast<std::uint8_t>(raw >> (8 * i)));
                break;
            }
            default:
                break;
        }
        v.kind = s.kind;
    }
    return stack[0];
}

KeyExpression::KeyExpression(std::string_view text, const TableReader& table, bool forClause)
    : program_(std::make_unique<Program>()) {
    program_->table = &table;
    program_->caseMaps = caseMapsFor(table.layout().codePage);
    program_->steps = Parser(text).parse();
    typeSteps(program_->steps, table.layout(), forClause, program_->caseMaps.has_value());
    const Step& result = program_->steps.back();
    nullable_ = result.nullable;
    if (forClause) {
        if (result.kind != VKind::Logical) refuse("the FOR clause is not a logical expression");
        kind_ = KeyKind::Logical;
        return;
    }
    int length = 0;
    switch (result.kind) {
        case VKind::Text:
            kind_ = KeyKind::Character;
            length = result.width;
            break;
        case VKind::Number:
            kind_ = KeyKind::Number;
            length = 8;
            break;
        case VKind::Integer:
            kind_ = KeyKind::Integer;
            length = 4;
            break;
        case VKind::Date:
            kind_ = KeyKind::Date;
            length = 8;
            break;
        case VKind::DateTime:
            kind_ = KeyKind::DateTime;
            length = 8;
            break;
        case VKind::Logical:
            kind_ = KeyKind::Logical;
            length = 1;
            break;
    }
    if (length < 1) refuse("the key is empty");
    keyLength_ = length + (nullable_ ? 1 : 0);
    if (keyLength_ > cdx::kMaxKeyLength)
        refuse("a key of " + std::to_string(keyLength_) + " bytes is longer than " +
               std::to_string(cdx::kMaxKeyLength));
}

KeyExpression::~KeyExpression() = default;
KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;

void orderedDouble(double value, std::uint8_t* out) {
    if (value == 0) value = 0;  // -0 orders as 0
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    bits = (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * (7 - i)));
}

void KeyExpression::key(std::span<const std::uint8_t> record, std::string& out) const {
    const Item& v = program_->run(record);
    out.assign(static_cast<std::size_t>(keyLength_), '\0');
    if (v.null) return;
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    if (nullable_) *p++ = cdx::kNotNullPrefix;
    switch (kind_) {
        case KeyKind::Character: {
            const std::size_t width = static_cast<std::size_t>(keyLength_) - (nullable_ ? 1 : 0);
            const std::size_t n = std::min(width, v.text.size());
            std::memcpy(p, v.text.data(), n);
            std::memset(p + n, ' ', width - n);
            break;
        }
        case KeyKind::Number:
            orderedDouble(v.number, p);
            break;
        case KeyKind::Integer:
            dbf::putBe32(p, static_cast<std::uint32_t>(v.integer) ^ 0x80000000u);
            break;
        case KeyKind::Date:
            orderedDouble(static_cast<double>(v.julian), p);
            break;
        case KeyKind::DateTime:
            orderedDouble(static_cast<double>(v.julian) + static_cast<double>(v.ms) / 86400000.0,
                          p);
            break;
        case KeyKind::Logical:
            *p = v.logical ? 'T' : 'F';
            break;
    }
}

bool KeyExpression::holds(std::span<const std::uint8_t> record) const {
    const Item& v = program_->run(record);
    return !v.null && v.logical;
}

}  // namespace quorvel::foxpro
