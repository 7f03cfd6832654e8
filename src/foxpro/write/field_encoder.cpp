#include "foxpro/write/field_encoder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "foxpro/format/civil_date.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/format/literal_text.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

namespace {

std::string describeField(const FieldInfo& f) {
    std::string s = f.name + " (" + f.letter + " " + std::to_string(f.width);
    if (f.letter == 'N' || f.letter == 'F') s += "," + std::to_string(f.decimals);
    return s + ")";
}

std::string describeValue(const Literal& v) {
    switch (v.kind) {
        case Literal::Kind::Text:
            return "'" + v.text + "'";
        case Literal::Kind::Number:
            return v.text;
        case Literal::Kind::Logical:
            return v.logical ? "True" : "False";
        case Literal::Kind::Null:
            return "NULL";
        case Literal::Kind::Binary:
        case Literal::Kind::Stored: {
            static const char kHex[] = "0123456789ABCDEF";
            std::string s = "0h";
            for (unsigned char c : v.text.substr(0, 32)) {
                s += kHex[c >> 4];
                s += kHex[c & 15];
            }
            return v.text.size() > 32 ? s + "..." : s;
        }
        case Literal::Kind::Date:
        case Literal::Kind::DateTime: {
            if (v.dateTime.date.year == 0) return "{}";
            char buf[40];
            const auto& d = v.dateTime;
            if (v.kind == Literal::Kind::Date)
                std::snprintf(buf, sizeof buf, "{^%04d-%02d-%02d}", d.date.year, d.date.month,
                              d.date.day);
            else
                std::snprintf(buf, sizeof buf, "{^%04d-%02d-%02d %02d:%02d:%02d}", d.date.year,
                              d.date.month, d.date.day, d.hour, d.minute, d.second);
            return buf;
        }
    }
    return "?";
}

class Encoder {
  public:
    Encoder(const FieldInfo& field, const TextStorage& storage, const Literal& value,
            const std::function<std::string()>& where)
        : f_(field), storage_(storage), v_(value), where_(where) {}

    EncodedField run() {
        if (v_.kind == Literal::Kind::Stored) {
            if (f_.memo || v_.text.size() != static_cast<std::size_t>(f_.width))
                fail("stored bytes of another shape");
            EncodedField e;
            e.bytes = v_.text;
            return e;
        }
        if (v_.kind == Literal::Kind::Null) {
            if (!f_.nullable) fail("the field cannot hold null");
            EncodedField e = blankField(f_);
            e.null = true;
            return e;
        }
        switch (f_.letter) {
            case 'C':
                return fixedText(textBytes(), ' ');
            case 'V':
                return varText(textBytes());
            case 'Q':
                return varText(rawBytes());
            case 'M':
                return memo(textBytes(), dbf::kFptTypeText);
            case 'G':
            case 'W':
            case 'P':
                return memo(rawBytes(), dbf::kFptTypePicture);
            case 'B':
                if (f_.memo) return memo(rawBytes(), dbf::kFptTypePicture);  // dBase binary memo
                return doubleField();
            case 'N':
            case 'F':
                return numeric();
            case 'I':
                return integer();
            case 'Y':
                return currency();
            case 'D':
                return date();
            case 'T':
                return dateTime();
            case 'L':
                return logical();
            default:
                fail("fields of type " + std::string(1, f_.letter) + " cannot be written");
        }
    }

  private:
    [[noreturn]] void fail(const std::string& why) const {
        throw FoxProError(kErrorInvalidArgument, where_() + ": value " + describeValue(v_) +
                                                     " does not fit field " + describeField(f_) +
                                                     ": " + why);
    }

    bool isBlankText() const {
        return v_.kind == Literal::Kind::Text &&
               v_.text.find_first_not_of(" \t") == std::string::npos;
    }

    // The bytes a text field stores.  Numbers keep the form they were
    // written in and logicals become "True"/"False", the text forms the
    // comparison reports, so that a value read and sent back is kept.
    std::string textBytes() const {
        std::string utf8;
        switch (v_.kind) {
            case Literal::Kind::Text:
                utf8 = v_.text;
                break;
            case Literal::Kind::Number:
                utf8 = v_.text;
                break;
            case Literal::Kind::Logical:
                utf8 = v_.logical ? "True" : "False";
                break;
            case Literal::Kind::Binary:
            case Literal::Kind::Stored:
                return v_.text;  // stored as given, no translation
            default:
                fail("a date is no text");
        }
        std::vector<std::string> unmappable;
        std::string bytes = storage_.convertible ? encodeText(storage_.codePage, utf8, &unmappable)
                                                 : encodeLatin1(utf8, &unmappable);
        if (!unmappable.empty()) {
            std::string list;
            for (const auto& c : unmappable) {
                if (list.find(c) != std::string::npos) continue;
                if (!list.empty()) list += " ";
                list += c;
            }
            fail("code page " + std::to_string(storage_.codePage) + " cannot hold " + list);
        }
        return bytes;
    }

    // A text in the form the comparison shows binary values in ("0hCAFE")
    // stands for those bytes, so that a value read and sent back is kept;
    // any other text is stored as its bytes.
    std::string rawBytes() const {
        if (v_.kind == Literal::Kind::Binary) return v_.text;
        if (v_.kind != Literal::Kind::Text)
            fail("only binary or text values go into a binary field");
        const std::string& t = v_.text;
        auto hex = [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c))
                       ? (c <= '9' ? c - '0'
                                   : (std::toupper(static_cast<unsigned char>(c)) - 'A' + 10))
                       : -1;
        };
        bool isHexForm =
            t.size() >= 2 && t[0] == '0' && (t[1] == 'h' || t[1] == 'H') && t.size() % 2 == 0;
        for (std::size_t i = 2; isHexForm && i < t.size(); ++i) isHexForm = hex(t[i]) >= 0;
        if (!isHexForm) return t;
        std::string bytes;
        for (std::size_t i = 2; i < t.size(); i += 2)
            bytes += static_cast<char>(hex(t[i]) * 16 + hex(t[i + 1]));
        return bytes;
    }

    EncodedField fixedText(const std::string& bytes, char pad) const {
        if (bytes.size() > static_cast<std::size_t>(f_.width))
            fail(std::to_string(bytes.size()) + " bytes are longer than the field");
        EncodedField e;
        e.bytes = bytes;
        e.bytes.resize(static_cast<std::size_t>(f_.width), pad);
        return e;
    }

    // V and Q: when shorter than the width, the real length goes into the
    // last byte and the field's varlength bit is set.
    EncodedField varText(const std::string& bytes) const {
        auto width = static_cast<std::size_t>(f_.width);
        if (bytes.size() > width)
            fail(std::to_string(bytes.size()) + " bytes are longer than the field");
        EncodedField e;
        e.bytes = bytes;
        e.bytes.resize(width, '\0');
        if (bytes.size() < width) {
            e.varShort = true;
            e.bytes[width - 1] = static_cast<char>(bytes.size());
        }
        return e;
    }

    EncodedField memo(const std::string& bytes, std::uint32_t type) const {
        if (bytes.size() > std::numeric_limits<std::uint32_t>::max() - 16)
            fail("too long for a memo");
        EncodedField e;
        e.memoData = bytes;
        e.memoType = type;
        return e;
    }

    // The number a literal stands for: a number literal or a number text.
    // nullopt for a blank text (the field's blank value).
    std::optional<DecimalParts> number() const {
        if (isBlankText()) return std::nullopt;
        if (v_.kind != Literal::Kind::Number && v_.kind != Literal::Kind::Text)
            fail("not a number");
        auto parts = parseDecimal(v_.text);
        if (!parts) fail("not a number");
        return parts;
    }

    // digits x 10^exponent rounded half away from zero to `decimals`
    // decimals, as the integer of the scaled value (no sign); nullopt when
    // it has more than maxDigits digits.
    static std::optional<std::string> scaled(const DecimalParts& p, int decimals,
                                             std::size_t maxDigits) {
        long long shift = static_cast<long long>(p.exponent) + decimals;
        std::string digits = p.digits;
        if (shift >= 0) {
            if (digits != "0" && digits.size() + static_cast<std::size_t>(shift) > maxDigits)
                return std::nullopt;
            if (digits != "0") digits.append(static_cast<std::size_t>(shift), '0');
        } else {
            auto drop = static_cast<std::size_t>(-shift);
            // Every kept digit is a leading zero and so is the first dropped
            // one: the value rounds to zero.
            if (drop > digits.size()) return std::string("0");
            bool roundUp = drop > 0 && digits[digits.size() - drop] >= '5';
            digits.resize(digits.size() - drop);
            if (digits.empty())
                digits.assign(1, '0');  // not = "0": GCC 12 warns falsely of overlap
            if (roundUp) {
                int i = static_cast<int>(digits.size()) - 1;
                while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
                    digits[static_cast<std::size_t>(i--)] = '0';
                if (i < 0)
                    digits.insert(digits.begin(), '1');
                else
                    ++digits[static_cast<std::size_t>(i)];
            }
            std::size_t nz = digits.find_first_not_of('0');
            digits = nz == std::string::npos ? "0" : digits.substr(nz);
            if (digits.size() > maxDigits) return std::nullopt;
        }
        return digits;
    }

    // A plain number ("-12.5": digits, at most as many decimals as the
    // field keeps, no exponent) placed without the exact decimal
    // arithmetic below, which gives the same bytes: the common case of a
    // value read from a numeric field.  False when the general way must
    // decide (rounding, an exponent, too wide, blanks).
    bool plainNumeric(EncodedField& e) const {
        if (v_.kind != Literal::Kind::Number && v_.kind != Literal::Kind::Text) return false;
        const std::string& t = v_.text;
        std::size_t pos = t.size() > 0 && t[0] == '-' ? 1 : 0;
        const std::size_t intStart = pos;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') ++pos;
        const std::size_t intEnd = pos;
        std::size_t fracStart = pos, fracEnd = pos;
        if (pos < t.size() && t[pos] == '.') {
            fracStart = ++pos;
            while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') ++pos;
            fracEnd = pos;
            if (fracEnd == fracStart) return false;
        }
        if (f_.decimals < 0) return false;
        const auto decimals = static_cast<std::size_t>(f_.decimals);
        if (pos != t.size() || intEnd == intStart || fracEnd - fracStart > decimals) return false;
        // The value times 10^decimals as digits without leading zeros.
        char digits[64];
        std::size_t n = 0;
        auto put = [&](char c) {
            if (n == 0 && c == '0') return true;
            if (n == sizeof digits) return false;
            digits[n++] = c;
            return true;
        };
        for (std::size_t i = intStart; i < intEnd; ++i)
            if (!put(t[i])) return false;
        for (std::size_t i = fracStart; i < fracEnd; ++i)
            if (!put(t[i])) return false;
        for (std::size_t i = fracEnd - fracStart; i < decimals; ++i)
            if (!put('0')) return false;
        const bool zero = n == 0;
        if (zero) digits[n++] = '0';
        // Formatted as below: at least one digit before the point.
        char text[80];
        std::size_t len = 0;
        if (intStart == 1 && !zero) text[len++] = '-';
        const std::size_t shown = std::max(n, decimals + 1);
        if (len + shown + (decimals > 0 ? 1 : 0) > sizeof text) return false;
        for (std::size_t i = 0; i < shown; ++i) {
            if (decimals > 0 && i == shown - decimals) text[len++] = '.';
            text[len++] = i < shown - n ? '0' : digits[i - (shown - n)];
        }
        const auto width = static_cast<std::size_t>(f_.width);
        if (len > width) return false;
        e.bytes.assign(width - len, ' ');
        e.bytes.append(text, len);
        return true;
    }

    EncodedField numeric() const {
        if (EncodedField e; plainNumeric(e)) return e;
        auto parts = number();
        EncodedField e;
        auto width = static_cast<std::size_t>(f_.width);
        if (!parts) {
            e.bytes.assign(width, ' ');
            return e;
        }
        auto digits = scaled(*parts, f_.decimals, width);
        if (!digits) fail("too wide");
        std::string text = *digits;
        if (f_.decimals > 0) {
            auto d = static_cast<std::size_t>(f_.decimals);
            if (text.size() < d + 1) text.insert(0, d + 1 - text.size(), '0');
            text.insert(text.size() - d, 1, '.');
        }
        if (parts->negative && *digits != "0") text.insert(text.begin(), '-');
        if (text.size() > width) fail("too wide");
        e.bytes.assign(width - text.size(), ' ');
        e.bytes += text;
        return e;
    }

    // A signed value that fits an int64 after scaling, or fails.
    std::int64_t scaledInteger(const DecimalParts& p, int decimals, std::int64_t min,
                               std::int64_t max) const {
        auto digits = scaled(p, decimals, 19);
        if (!digits) fail("out of range");
        std::uint64_t magnitude = 0;
        auto [ptr, ec] =
            std::from_chars(digits->data(), digits->data() + digits->size(), magnitude);
        if (ec != std::errc() || ptr != digits->data() + digits->size()) fail("out of range");
        if (p.negative && magnitude != 0) {
            // |min| = -(min + 1) + 1 does not overflow.
            if (magnitude - 1 > static_cast<std::uint64_t>(-(min + 1))) fail("out of range");
            return -static_cast<std::int64_t>(magnitude - 1) - 1;
        }
        if (magnitude > static_cast<std::uint64_t>(max)) fail("out of range");
        return static_cast<std::int64_t>(magnitude);
    }

    EncodedField integer() const {
        auto parts = number();
        EncodedField e;
        e.bytes.assign(4, '\0');
        if (!parts) return e;
        auto v = scaledInteger(*parts, 0, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max());
        dbf::putLe32(reinterpret_cast<std::uint8_t*>(e.bytes.data()),
                     static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
        return e;
    }

    EncodedField currency() const {
        auto parts = number();
        EncodedField e;
        e.bytes.assign(8, '\0');
        if (!parts) return e;
        auto v = scaledInteger(*parts, 4, std::numeric_limits<std::int64_t>::min(),
                               std::numeric_limits<std::int64_t>::max());
        dbf::putLe64(reinterpret_cast<std::uint8_t*>(e.bytes.data()),
                     static_cast<std::uint64_t>(v));
        return e;
    }

    EncodedField doubleField() const {
        auto parts = number();
        EncodedField e;
        e.bytes.assign(8, '\0');
        if (!parts) return e;
        std::string_view s = v_.text;
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        if (!s.empty() && s.front() == '+') s.remove_prefix(1);
        double d = 0;
        auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
        // Out of range either way: too small rounds to zero, too large fails.
        bool tiny = static_cast<long long>(parts->digits.size()) + parts->exponent < 0;
        if (ec == std::errc::result_out_of_range && tiny)
            d = 0;
        else if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(d))
            fail("out of range");
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        dbf::putLe64(reinterpret_cast<std::uint8_t*>(e.bytes.data()), bits);
        return e;
    }

    // The date or datetime a literal stands for; nullopt for the empty one.
    std::optional<DateTime> when(bool* dateOnly) const {
        if (v_.kind == Literal::Kind::Date || v_.kind == Literal::Kind::DateTime) {
            *dateOnly = v_.kind == Literal::Kind::Date;
            if (v_.dateTime.date.year == 0) return std::nullopt;
            return v_.dateTime;
        }
        if (isBlankText()) return std::nullopt;
        if (v_.kind != Literal::Kind::Text) fail("not a date");
        auto dt = parseIsoDateTime(v_.text, dateOnly);
        if (!dt) fail("not a date");
        return dt;
    }

    EncodedField date() const {
        bool dateOnly = true;
        auto dt = when(&dateOnly);
        EncodedField e;
        if (!dt) {
            e.bytes.assign(8, ' ');
            return e;
        }
        if (dt->hour != 0 || dt->minute != 0 || dt->second != 0)
            fail("a date field holds no time of day");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", dt->date.year, dt->date.month, dt->date.day);
        e.bytes.assign(buf, 8);
        return e;
    }

    EncodedField dateTime() const {
        bool dateOnly = true;
        auto dt = when(&dateOnly);
        EncodedField e;
        e.bytes.assign(8, '\0');
        if (!dt) return e;
        auto* p = reinterpret_cast<std::uint8_t*>(e.bytes.data());
        dbf::putLe32(p, static_cast<std::uint32_t>(daysFromCivil(dt->date) + dbf::kJulianDay1970));
        dbf::putLe32(p + 4, static_cast<std::uint32_t>(
                                (dt->hour * 3600 + dt->minute * 60 + dt->second) * 1000));
        return e;
    }

    EncodedField logical() const {
        EncodedField e;
        e.bytes.assign(1, ' ');  // not = " ": GCC 12 warns falsely (-Wrestrict)
        if (v_.kind == Literal::Kind::Logical) {
            e.bytes.assign(1, v_.logical ? 'T' : 'F');
            return e;
        }
        if (isBlankText()) return e;
        if (v_.kind != Literal::Kind::Text) fail("not a logical value");
        std::string t;
        for (char c : v_.text)
            if (c != ' ') t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (t == "TRUE" || t == "T" || t == ".T." || t == "Y" || t == "YES")
            e.bytes.assign(1, 'T');
        else if (t == "FALSE" || t == "F" || t == ".F." || t == "N" || t == "NO")
            e.bytes.assign(1, 'F');
        else
            fail("not a logical value");
        return e;
    }

    const FieldInfo& f_;
    const TextStorage& storage_;
    const Literal& v_;
    const std::function<std::string()>& where_;
};

}  // namespace

EncodedField encodeField(const FieldInfo& field, const TextStorage& storage, const Literal& value,
                         const std::string& where) {
    return encodeField(field, storage, value, [&where] { return where; });
}

EncodedField encodeField(const FieldInfo& field, const TextStorage& storage, const Literal& value,
                         const std::function<std::string()>& where) {
    return Encoder(field, storage, value, where).run();
}

bool isEncodedNumber(const FieldInfo& field, std::string_view bytes) {
    if ((field.letter != 'N' && field.letter != 'F') || field.decimals < 0 ||
        bytes.size() != static_cast<std::size_t>(field.width))
        return false;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t pos = 0;
    while (pos < bytes.size() && bytes[pos] == ' ') ++pos;
    const bool negative = pos < bytes.size() && bytes[pos] == '-';
    if (negative) ++pos;
    const std::size_t intStart = pos;
    while (pos < bytes.size() && digit(bytes[pos])) ++pos;
    const std::size_t intDigits = pos - intStart;
    if (intDigits == 0 || (intDigits > 1 && bytes[intStart] == '0')) return false;
    bool nonZero = bytes[intStart] != '0';
    const auto decimals = static_cast<std::size_t>(field.decimals);
    if (decimals > 0) {
        if (pos >= bytes.size() || bytes[pos] != '.') return false;
        ++pos;
        if (bytes.size() - pos != decimals) return false;
        for (; pos < bytes.size(); ++pos) {
            if (!digit(bytes[pos])) return false;
            nonZero = nonZero || bytes[pos] != '0';
        }
    }
    // The encoder writes no sign for zero.
    return pos == bytes.size() && (!negative || nonZero);
}

bool isStoredForm(const FieldInfo& field, std::string_view bytes) {
    if (field.memo || bytes.size() != static_cast<std::size_t>(field.width)) return false;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    // A blank date or datetime reads as null, which a nullable field
    // would take as null rather than as these bytes.
    const bool blankIsBlank = !field.nullable;
    switch (field.letter) {
        case 'N':
        case 'F':
            return isEncodedNumber(field, bytes);
        case 'C':
            // ASCII reads as itself and encodes as itself in every code
            // page; other bytes depend on the page's tables.
            return isAscii(bytes);
        case 'L':
            return bytes == "T" || bytes == "F";
        case 'I':
            return bytes.size() == 4;
        case 'Y':
            return bytes.size() == 8;
        case 'B': {
            if (bytes.size() != 8) return false;
            const std::uint64_t bits = dbf::le64(p);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            // Not a number and infinities are refused; -0 may come back as 0.
            return std::isfinite(d) && !(d == 0 && std::signbit(d));
        }
        case 'D': {
            if (bytes.size() != 8) return false;
            if (bytes == "        ") return blankIsBlank;
            int parts[8];
            for (int i = 0; i < 8; ++i) {
                if (p[i] < '0' || p[i] > '9') return false;
                parts[i] = p[i] - '0';
            }
            const int y = parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3];
            const int m = parts[4] * 10 + parts[5];
            const int d = parts[6] * 10 + parts[7];
            return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
        }
        case 'T': {
            if (bytes.size() != 8) return false;
            const std::uint32_t jd = dbf::le32(p);
            const std::uint32_t ms = dbf::le32(p + 4);
            if (jd == 0 && ms == 0) return blankIsBlank;
            // Whole seconds of a day: read and written back unrounded.
            if (ms % 1000 != 0 || ms >= 86'400'000) return false;
            const Date date = civilFromDays(static_cast<std::int64_t>(jd) - dbf::kJulianDay1970);
            return date.year >= 1 && date.year <= 9999;
        }
        default:
            return false;
    }
}

EncodedField blankField(const FieldInfo& field) {
    EncodedField e;
    e.null = field.nullable;
    if (field.memo) return e;
    auto width = static_cast<std::size_t>(field.width);
    switch (field.letter) {
        case 'I':
        case 'B':
        case 'Y':
        case 'T':
            e.bytes.assign(width, '\0');
            break;
        case 'V':
        case 'Q':
            e.bytes.assign(width, '\0');
            e.varShort = width > 0;
            break;
        default:
            e.bytes.assign(width, ' ');
            break;
    }
    return e;
}

}  // namespace quorvel::foxpro
