#pragma once

#include <string>

#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// A value as a statement writes it, before it is converted to a field's
// type (field_encoder.h): the parser makes them, the writers take them.
struct Literal {
    // Stored: a field's bytes exactly as encoding the value they read as
    // into a field of that shape writes them (isStoredForm in
    // field_encoder.h), placed as they are; no statement text writes it.
    enum class Kind { Text, Number, Logical, Null, Date, DateTime, Binary, Stored };
    Kind kind = Kind::Null;
    // Text: the content ('' undone); Number: as written ("-1.5e3"); Binary
    // and Stored: raw bytes.
    std::string text;
    bool logical = false;
    DateTime dateTime;  // Date: dateTime.date only; year 0 for the empty date {}
};

}  // namespace quorvel::foxpro
