#include "foxpro/value.h"

namespace quorvel::foxpro {

Value Value::text(std::string utf8) {
    Value v;
    v.kind_ = Kind::Text;
    v.str_ = std::move(utf8);
    return v;
}

Value Value::bytes(std::string raw) {
    Value v;
    v.kind_ = Kind::Bytes;
    v.str_ = std::move(raw);
    return v;
}

Value Value::integer(std::int64_t i) {
    Value v;
    v.kind_ = Kind::Integer;
    v.int_ = i;
    return v;
}

Value Value::decimal(std::string canonical) {
    Value v;
    v.kind_ = Kind::Decimal;
    v.str_ = std::move(canonical);
    return v;
}

Value Value::real(double d) {
    Value v;
    v.kind_ = Kind::Double;
    v.double_ = d;
    return v;
}

Value Value::currency(std::int64_t tenThousandths) {
    Value v;
    v.kind_ = Kind::Currency;
    v.int_ = tenThousandths;
    return v;
}

Value Value::date(Date d) {
    Value v;
    v.kind_ = Kind::Date;
    v.dateTime_.date = d;
    return v;
}

Value Value::dateTime(DateTime dt) {
    Value v;
    v.kind_ = Kind::DateTime;
    v.dateTime_ = dt;
    return v;
}

Value Value::logical(bool b) {
    Value v;
    v.kind_ = Kind::Logical;
    v.int_ = b ? 1 : 0;
    return v;
}

bool operator==(const Value& a, const Value& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
        case Value::Kind::Null:
            return true;
        case Value::Kind::Text:
        case Value::Kind::Bytes:
        case Value::Kind::Decimal:
            return a.str_ == b.str_;
        case Value::Kind::Integer:
        case Value::Kind::Currency:
        case Value::Kind::Logical:
            return a.int_ == b.int_;
        case Value::Kind::Double:
            return a.double_ == b.double_;
        case Value::Kind::Date:
            return a.dateTime_.date == b.dateTime_.date;
        case Value::Kind::DateTime:
            return a.dateTime_ == b.dateTime_;
    }
    return false;
}

}  // namespace quorvel::foxpro
