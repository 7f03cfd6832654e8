#pragma once

#include <string>

#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// A value as a statement writes it, before it is converted to a field's
// type (field_encoder.h): the parser makes them, the writers take them.
struct Literal {
    enum class Kind { Text, Number, Logical, Null, Date, DateTime, Binary };
    Kind kind = Kind::Null;
    // Text: the content ('' undone); Number: as written ("-1.5e3"); Binary: raw bytes.
    std::string text;
    bool logical = false;
    DateTime dateTime;  // Date: dateTime.date only; year 0 for the empty date {}
};

}  // namespace quorvel::foxpro
