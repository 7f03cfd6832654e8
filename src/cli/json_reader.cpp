#include "cli/json_reader.h"

#include <cstdint>

namespace quorvel::cli {

namespace {

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    JsonValue document() {
        JsonValue v = value();
        blanks();
        if (at_ < s_.size()) fail("text after the end of the JSON value");
        return v;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at_ && i < s_.size(); ++i) {
            if (s_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw std::runtime_error("line " + std::to_string(line) + ", column " +
                                 std::to_string(column) + ": " + what);
    }

    void blanks() {
        while (at_ < s_.size() &&
               (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
            ++at_;
    }

    bool word(std::string_view w) {
        if (s_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }

    JsonValue value() {
        blanks();
        if (at_ >= s_.size()) fail("a value is missing");
        JsonValue v;
        const char c = s_[at_];
        if (c == '{') return object();
        if (c == '[') return array();
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = string();
        } else if (word("null")) {
        } else if (word("true") || word("false")) {
            v.kind = JsonValue::Kind::Boolean;
            v.boolean = s_[at_ - 1] == 'e' && s_[at_ - 2] == 'u';
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.kind = JsonValue::Kind::Number;
            const std::size_t start = at_;
            while (at_ < s_.size() &&
                   std::string_view("+-.eE0123456789").find(s_[at_]) != std::string_view::npos)
                ++at_;
            v.text = std::string(s_.substr(start, at_ - start));
        } else {
            fail("no JSON value starts with '" + std::string(1, c) + "'");
        }
        return v;
    }

    JsonValue object() {
        JsonValue v;
        v.kind = JsonValue::Kind::Object;
        ++at_;
        blanks();
        if (at_ < s_.size() && s_[at_] == '}') {
            ++at_;
            return v;
        }
        for (;;) {
            blanks();
            if (at_ >= s_.size() || s_[at_] != '"') fail("a member name in quotes is missing");
            std::string name = string();
            blanks();
            if (at_ >= s_.size() || s_[at_] != ':') fail("':' is missing after a member name");
            ++at_;
            v.members[std::move(name)] = value();
            blanks();
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < s_.size() && s_[at_] == '}') {
                ++at_;
                return v;
            }
            fail("',' or '}' is missing");
        }
    }

    JsonValue array() {
        JsonValue v;
        v.kind = JsonValue::Kind::Array;
        ++at_;
        blanks();
        if (at_ < s_.size() && s_[at_] == ']') {
            ++at_;
            return v;
        }
        for (;;) {
            v.items.push_back(value());
            blanks();
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < s_.size() && s_[at_] == ']') {
                ++at_;
                return v;
            }
            fail("',' or ']' is missing");
        }
    }

    unsigned hex4() {
        if (at_ + 4 > s_.size()) fail("\\u needs four hex digits");
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else
                fail("\\u needs four hex digits");
        }
        return code;
    }

    static void utf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string string() {
        ++at_;
        std::string out;
        for (;;) {
            if (at_ >= s_.size()) fail("a string is not closed");
            const char c = s_[at_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) fail("a string is not closed");
            const char e = s_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    std::uint32_t code = hex4();
                    if (code >= 0xD800 && code < 0xDC00 && word("\\u")) {
                        const std::uint32_t low = hex4();
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    utf8(out, code);
                    break;
                }
                default:
                    fail(std::string("unknown escape \\") + e);
            }
        }
    }

    std::string_view s_;
    std::size_t at_ = 0;
};

}  // namespace

const JsonValue* JsonValue::member(const std::string& name) const {
    const auto it = members.find(name);
    return it == members.end() ? nullptr : &it->second;
}

JsonValue parseJson(std::string_view text) {
    return Parser(text).document();
}

}  // namespace quorvel::cli
