#include "foxpro/sql/sql.h"

#include <cctype>
#include <limits>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/literal_text.h"
#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

namespace {

enum class TokenKind { Word, Name, Text, Number, Binary, DateLiteral, Logical, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // Word/Name: as written; Text: '' undone; Number: as written;
                       // Binary: raw bytes; DateLiteral: inside the braces; Punct: the char
    bool logical = false;
    std::size_t offset = 0;
};

bool isWordStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool isWordChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
  public:
    explicit Parser(std::string_view sql) : sql_(sql) { tokenize(); }

    Statement parse() {
        if (acceptWord("SELECT")) return parseSelect();
        if (acceptWord("UPDATE")) return parseUpdate();
        if (acceptWord("INSERT")) return parseInsert();
        fail("expected SELECT, UPDATE or INSERT");
    }

  private:
    [[noreturn]] void fail(const std::string& why) const {
        throw FoxProError(kErrorInvalidArgument,
                          "unsupported statement: " + std::string(sql_) + " (" + why + ")");
    }

    // --- tokens -----------------------------------------------------------

    void tokenize() {
        std::size_t pos = 0;
        while (true) {
            while (pos < sql_.size() && std::isspace(static_cast<unsigned char>(sql_[pos]))) ++pos;
            Token t;
            t.offset = pos;
            if (pos >= sql_.size()) {
                tokens_.push_back(t);
                return;
            }
            char c = sql_[pos];
            if (c == '[') {
                std::size_t close = sql_.find(']', pos + 1);
                if (close == std::string_view::npos) fail("unclosed [");
                t.kind = TokenKind::Name;
                t.text = std::string(sql_.substr(pos + 1, close - pos - 1));
                pos = close + 1;
            } else if (c == '\'') {
                t.kind = TokenKind::Text;
                ++pos;
                while (true) {
                    if (pos >= sql_.size()) fail("unclosed text literal");
                    if (sql_[pos] == '\'') {
                        if (pos + 1 < sql_.size() && sql_[pos + 1] == '\'') {
                            t.text += '\'';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    t.text += sql_[pos++];
                }
            } else if (c == '{') {
                std::size_t close = sql_.find('}', pos + 1);
                if (close == std::string_view::npos) fail("unclosed {");
                t.kind = TokenKind::DateLiteral;
                t.text = std::string(sql_.substr(pos + 1, close - pos - 1));
                pos = close + 1;
            } else if (c == '0' && pos + 1 < sql_.size() &&
                       (sql_[pos + 1] == 'h' || sql_[pos + 1] == 'H')) {
                t.kind = TokenKind::Binary;
                pos += 2;
                std::size_t start = pos;
                while (pos < sql_.size() && hexValue(sql_[pos]) >= 0) ++pos;
                if (pos < sql_.size() && isWordChar(static_cast<unsigned char>(sql_[pos])))
                    fail("bad binary literal");
                std::string_view hex = sql_.substr(start, pos - start);
                if (hex.size() % 2 != 0) fail("binary literal with an odd number of hex digits");
                for (std::size_t i = 0; i < hex.size(); i += 2)
                    t.text += static_cast<char>(hexValue(hex[i]) * 16 + hexValue(hex[i + 1]));
            } else if (isDigit(c) || ((c == '-' || c == '+' || c == '.') && pos + 1 < sql_.size() &&
                                      (isDigit(sql_[pos + 1]) ||
                                       (sql_[pos + 1] == '.' && c != '.' && pos + 2 < sql_.size() &&
                                        isDigit(sql_[pos + 2]))))) {
                t.kind = TokenKind::Number;
                std::size_t start = pos++;
                while (pos < sql_.size()) {
                    char d = sql_[pos];
                    if (isDigit(d) || d == '.') {
                        ++pos;
                    } else if ((d == 'e' || d == 'E')) {
                        ++pos;
                        if (pos < sql_.size() && (sql_[pos] == '+' || sql_[pos] == '-')) ++pos;
                    } else {
                        break;
                    }
                }
                t.text = std::string(sql_.substr(start, pos - start));
                if (!isNumberText(t.text) ||
                    (pos < sql_.size() && isWordChar(static_cast<unsigned char>(sql_[pos]))))
                    fail("bad number " + t.text);
            } else if (c == '.' && pos + 2 < sql_.size() && sql_[pos + 2] == '.' &&
                       std::string_view("TtFfYyNn").find(sql_[pos + 1]) != std::string_view::npos) {
                t.kind = TokenKind::Logical;
                char l = static_cast<char>(std::toupper(static_cast<unsigned char>(sql_[pos + 1])));
                t.logical = l == 'T' || l == 'Y';
                pos += 3;
            } else if (isWordStart(static_cast<unsigned char>(c))) {
                t.kind = TokenKind::Word;
                std::size_t start = pos;
                while (pos < sql_.size() && isWordChar(static_cast<unsigned char>(sql_[pos])))
                    ++pos;
                t.text = std::string(sql_.substr(start, pos - start));
            } else if (std::string_view("(),=*").find(c) != std::string_view::npos) {
                t.kind = TokenKind::Punct;
                t.text = std::string(1, c);
                ++pos;
            } else {
                fail(std::string("unexpected character '") + c + "'");
            }
            tokens_.push_back(std::move(t));
        }
    }

    const Token& peek() const { return tokens_[next_]; }
    const Token& take() {
        const Token& t = tokens_[next_];
        if (t.kind != TokenKind::End) ++next_;
        return t;
    }

    bool isWord(const Token& t, std::string_view word) const {
        return t.kind == TokenKind::Word && equalsNoCase(t.text, word);
    }
    bool acceptWord(std::string_view word) {
        if (!isWord(peek(), word)) return false;
        take();
        return true;
    }
    void expectWord(std::string_view word) {
        if (!acceptWord(word)) fail("expected " + std::string(word) + describeNext());
    }
    bool acceptPunct(char c) {
        const Token& t = peek();
        if (t.kind != TokenKind::Punct || t.text[0] != c) return false;
        take();
        return true;
    }
    void expectPunct(char c) {
        if (!acceptPunct(c)) fail(std::string("expected '") + c + "'" + describeNext());
    }
    std::string describeNext() const {
        const Token& t = peek();
        if (t.kind == TokenKind::End) return " at the end";
        return " at position " + std::to_string(t.offset + 1);
    }
    void expectEnd() {
        if (peek().kind != TokenKind::End) fail("unexpected text" + describeNext());
    }

    std::string parseName(const char* what) {
        const Token& t = peek();
        if (t.kind != TokenKind::Name && t.kind != TokenKind::Word)
            fail(std::string("expected ") + what + " name" + describeNext());
        return take().text;
    }

    // RECNO() = n: the n-th live record (see sql.h).
    std::int64_t parseSelector() {
        expectWord("RECNO");
        expectPunct('(');
        expectPunct(')');
        expectPunct('=');
        const Token& t = peek();
        bool digitsOnly = t.kind == TokenKind::Number && !t.text.empty();
        for (char c : t.text) digitsOnly = digitsOnly && isDigit(c);
        if (!digitsOnly) fail("expected a record number after RECNO() =" + describeNext());
        std::int64_t n = 0;
        for (char c : t.text) {
            if (n > (std::numeric_limits<std::int64_t>::max() - 9) / 10)
                fail("record number too large");
            n = n * 10 + (c - '0');
        }
        take();
        return n;
    }

    Literal parseLiteral() {
        const Token& t = peek();
        Literal lit;
        switch (t.kind) {
            case TokenKind::Text:
                lit.kind = Literal::Kind::Text;
                lit.text = t.text;
                break;
            case TokenKind::Number:
                lit.kind = Literal::Kind::Number;
                lit.text = t.text;
                break;
            case TokenKind::Binary:
                lit.kind = Literal::Kind::Binary;
                lit.text = t.text;
                break;
            case TokenKind::Logical:
                lit.kind = Literal::Kind::Logical;
                lit.logical = t.logical;
                break;
            case TokenKind::DateLiteral:
                lit = parseDateLiteral(t.text);
                break;
            case TokenKind::Word:
                if (equalsNoCase(t.text, "TRUE")) {
                    lit.kind = Literal::Kind::Logical;
                    lit.logical = true;
                } else if (equalsNoCase(t.text, "FALSE")) {
                    lit.kind = Literal::Kind::Logical;
                    lit.logical = false;
                } else if (equalsNoCase(t.text, "NULL")) {
                    lit.kind = Literal::Kind::Null;
                } else {
                    fail("expected a value" + describeNext());
                }
                break;
            default:
                fail("expected a value" + describeNext());
        }
        take();
        return lit;
    }

    // {^2020-12-31} and {^2020-12-31 13:02:03}; {} and {^} are the empty
    // date, which a D or T field stores as blanks / zeros.
    Literal parseDateLiteral(const std::string& inside) {
        Literal lit;
        lit.kind = Literal::Kind::Date;
        std::string_view s = inside;
        while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        if (!s.empty() && s.front() == '^') s.remove_prefix(1);
        if (s.empty() || s == "/" || s == "-") return lit;  // empty: year 0
        bool dateOnly = true;
        auto dt = parseIsoDateTime(s, &dateOnly);
        if (!dt) fail("bad date {" + inside + "}");
        lit.kind = dateOnly ? Literal::Kind::Date : Literal::Kind::DateTime;
        lit.dateTime = *dt;
        return lit;
    }

    // --- statements -------------------------------------------------------

    Statement parseSelect() {
        SelectStatement st;
        if (acceptPunct('*')) {
        } else if (acceptWord("COUNT")) {
            expectPunct('(');
            expectPunct('*');
            expectPunct(')');
            st.count = true;
        } else {
            fail("only SELECT * and SELECT COUNT(*) are supported");
        }
        expectWord("FROM");
        st.table = parseName("table");
        // WHERE and INTO TABLE may come in either order, each once.
        while (peek().kind != TokenKind::End) {
            if (!st.recno && acceptWord("WHERE")) {
                st.recno = parseSelector();
            } else if (!st.intoTable && !st.count && acceptWord("INTO")) {
                expectWord("TABLE");
                st.intoTable = parseName("table");
            } else {
                fail("unexpected text" + describeNext());
            }
        }
        return st;
    }

    Statement parseUpdate() {
        UpdateStatement st;
        st.table = parseName("table");
        expectWord("SET");
        st.field = parseName("field");
        expectPunct('=');
        st.value = parseLiteral();
        expectWord("WHERE");
        st.recno = parseSelector();
        expectEnd();
        return st;
    }

    Statement parseInsert() {
        InsertStatement st;
        expectWord("INTO");
        st.table = parseName("table");
        if (acceptPunct('(')) {
            do {
                st.columns.push_back(parseName("field"));
            } while (acceptPunct(','));
            expectPunct(')');
        }
        expectWord("VALUES");
        expectPunct('(');
        do {
            st.values.push_back(parseLiteral());
        } while (acceptPunct(','));
        expectPunct(')');
        expectEnd();
        return st;
    }

    std::string_view sql_;
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
};

}  // namespace

Statement parseStatement(std::string_view sql) {
    return Parser(sql).parse();
}

}  // namespace quorvel::foxpro
