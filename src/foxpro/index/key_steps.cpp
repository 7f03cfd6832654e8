#include "foxpro/index/key_steps.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro::keys {

void refuse(const std::string& reason) {
    throw FoxProError(kErrorInvalidArgument, reason);
}

namespace {

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

}  // namespace

const Function* functionOf(Op op) {
    for (const auto& f : kFunctions)
        if (f.op == op) return &f;
    return nullptr;
}

namespace {

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

}  // namespace

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

std::vector<Step> parseSteps(std::string_view text) {
    return Parser(text).parse();
}

}  // namespace quorvel::foxpro::keys
