#include "foxpro/format/value.h"

namespace quorvel::foxpro {

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
