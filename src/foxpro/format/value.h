#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace quorvel::foxpro {

// Type codes as the data source reports them (ADO DataTypeEnum numbers), so
// that callers can tell "same type" from "different type" and binary (204
// and up) from everything else.
enum TypeCode : int {
    kTypeInteger = 3,          // I
    kTypeDouble = 5,           // B (Visual FoxPro)
    kTypeCurrency = 6,         // Y
    kTypeBoolean = 11,         // L
    kTypeChar = 129,           // C
    kTypeNumeric = 131,        // N, F
    kTypeDate = 133,           // D
    kTypeTimestamp = 135,      // T
    kTypeVarChar = 200,        // V
    kTypeLongVarChar = 201,    // M
    kTypeVarBinary = 204,      // Q
    kTypeLongVarBinary = 205,  // G, W, P; B of a dBase table
};

struct Date {
    int year = 0;   // 1..9999
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    friend bool operator==(const Date&, const Date&) = default;
};

struct DateTime {
    Date date;
    int hour = 0;
    int minute = 0;
    int second = 0;  // rounded to the nearest second when read
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// One field value of one record.
class Value {
  public:
    enum class Kind {
        Null,
        Text,
        Bytes,
        Integer,
        Decimal,
        Double,
        Currency,
        Date,
        DateTime,
        Logical
    };

    Value() = default;  // null

    static Value null() { return Value(); }
    static Value text(std::string utf8);  // C, V, M: UTF-8, trailing blanks kept
    // Text whose stored bytes did not all decode in their code page, read
    // as code_page.h's decodeText reads them.
    static Value undecodedText(std::string utf8);
    static Value bytes(std::string raw);                 // Q, G, W, P: raw bytes
    static Value integer(std::int64_t v);                // I
    static Value decimal(std::string canonical);         // N, F: canonical decimal text (see below)
    static Value real(double v);                         // B
    static Value currency(std::int64_t tenThousandths);  // Y: amount x 10000
    static Value date(Date d);
    static Value dateTime(DateTime dt);
    static Value logical(bool b);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    // Text: false when some stored byte was no part of a character of its
    // code page and reads as the character of the same number, so that the
    // text may equal the text of other bytes; a comparison then looks at
    // the bytes (TableReader::markedText).  True for every other value.
    bool decodedCleanly() const { return clean_; }

    // Text, Bytes: the content.  Decimal: the canonical form: "-" only for
    // negative values, no leading zeros but one "0" before the point, no
    // trailing zeros after it and no point when nothing follows it
    // ("-12.5", "0.5", "0", "100").  Two decimals are equal in value exactly
    // when their canonical forms are equal.
    const std::string& str() const { return str_; }
    std::int64_t asInteger() const { return int_; }  // Integer, Currency (x 10000), Logical (0/1)
    double asDouble() const { return double_; }
    bool asLogical() const { return int_ != 0; }
    const Date& asDate() const { return dateTime_.date; }
    const DateTime& asDateTime() const { return dateTime_; }

    // Typed equality: same kind and same value.  Nulls are equal to each other.
    friend bool operator==(const Value& a, const Value& b);

  private:
    // Factories are defined inline: the reader builds one value per field of
    // every record, and a call across files for each is measurable.
    Value(Kind kind, std::string s) : kind_(kind), str_(std::move(s)) {}
    // The reader builds text and decimals straight from its bytes: no
    // temporary string moved twice per value.
    Value(Kind kind, const char* data, std::size_t size) : kind_(kind), str_(data, size) {}
    friend class TableReader;
    Value(Kind kind, std::int64_t i) : kind_(kind), int_(i) {}

    Kind kind_ = Kind::Null;
    bool clean_ = true;
    std::string str_;
    std::int64_t int_ = 0;
    double double_ = 0;
    DateTime dateTime_;
};

inline Value Value::text(std::string utf8) {
    return Value(Kind::Text, std::move(utf8));
}
inline Value Value::undecodedText(std::string utf8) {
    Value v(Kind::Text, std::move(utf8));
    v.clean_ = false;
    return v;
}
inline Value Value::bytes(std::string raw) {
    return Value(Kind::Bytes, std::move(raw));
}
inline Value Value::decimal(std::string canonical) {
    return Value(Kind::Decimal, std::move(canonical));
}
inline Value Value::integer(std::int64_t v) {
    return Value(Kind::Integer, v);
}
inline Value Value::currency(std::int64_t tenThousandths) {
    return Value(Kind::Currency, tenThousandths);
}
inline Value Value::logical(bool b) {
    return Value(Kind::Logical, std::int64_t{b ? 1 : 0});
}
inline Value Value::real(double d) {
    Value v;
    v.kind_ = Kind::Double;
    v.double_ = d;
    return v;
}
inline Value Value::date(Date d) {
    Value v;
    v.kind_ = Kind::Date;
    v.dateTime_.date = d;
    return v;
}
inline Value Value::dateTime(DateTime dt) {
    Value v;
    v.kind_ = Kind::DateTime;
    v.dateTime_ = dt;
    return v;
}

}  // namespace quorvel::foxpro
