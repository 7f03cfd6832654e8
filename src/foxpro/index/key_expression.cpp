#include "foxpro/index/key_expression.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/civil_date.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_format.h"
#include "foxpro/index/key_case.h"
#include "foxpro/index/key_steps.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/field_encoder.h"

namespace quorvel::foxpro {

using namespace keys;

namespace {

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

// STR(): right-aligned in length, written as an N field of that width
// would be (rounded half away from zero); fewer decimals when they do not
// fit, asterisks when the whole part does not.
std::string strText(const Item& v, int length, int decimals) {
    Literal number;
    number.kind = Literal::Kind::Number;
    number.text = decimalOf(v);
    FieldInfo field;
    field.letter = 'N';
    field.width = length;
    for (field.decimals = decimals; field.decimals >= 0; --field.decimals) {
        try {
            return encodeField(field, TextStorage{}, number, "STR()").bytes;
        } catch (const FoxProError&) {
            // Too wide with these decimals.
        }
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
        std::vector<Step> steps = parseSteps(expression);
        if (layout) typeSteps(steps, *layout, false, true);
        // Fields, "+" and the key functions only: every value comes from a
        // field.
        for (const Step& s : steps) {
            switch (s.op) {
                case Op::Field:
                    c.fields.push_back(s.name);
                    break;
                case Op::Concat:
                    break;
                case Op::Number:
                case Op::String:
                case Op::Logical:
                    refuse("the constant " + s.name + " is not a field");
                case Op::Not:
                    refuse("NOT is not a key function");
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
                t = v.julian == 0 ? std::string(8, ' ') : dateText(v.julian);
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
    program_->steps = parseSteps(text);
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
