#include "foxpro/write/value_literal.h"

#include <string>

#include "foxpro/text/text_form.h"

namespace quorvel::foxpro {

Literal literalOfValue(const Value& value) {
    Literal l;
    switch (value.kind()) {
        case Value::Kind::Null:
            l.kind = Literal::Kind::Null;
            break;
        case Value::Kind::Text:
            l.kind = Literal::Kind::Text;
            l.text = value.str();
            break;
        case Value::Kind::Bytes:
            l.kind = Literal::Kind::Binary;
            l.text = value.str();
            break;
        case Value::Kind::Integer:
            l.kind = Literal::Kind::Number;
            l.text = std::to_string(value.asInteger());
            break;
        case Value::Kind::Decimal:
        case Value::Kind::Double:
        case Value::Kind::Currency: {
            // A double that is not finite has no number text: it goes as null.
            const auto text = exactNumberText(value);
            l.kind = text ? Literal::Kind::Number : Literal::Kind::Null;
            l.text = text.value_or("");
            break;
        }
        case Value::Kind::Date:
            l.kind = Literal::Kind::Date;
            l.dateTime.date = value.asDate();
            break;
        case Value::Kind::DateTime:
            l.kind = Literal::Kind::DateTime;
            l.dateTime = value.asDateTime();
            break;
        case Value::Kind::Logical:
            l.kind = Literal::Kind::Logical;
            l.logical = value.asLogical();
            break;
    }
    return l;
}

}  // namespace quorvel::foxpro
