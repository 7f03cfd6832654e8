#pragma once

#include "foxpro/format/literal.h"
#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// A value read from one table as the literal that writes it into a field
// of another (field_encoder.h): numbers exactly, dates and datetimes as
// they are, text as UTF-8, binary data as its bytes, null as null.
Literal literalOfValue(const Value& value);

}  // namespace quorvel::foxpro
