#pragma once

#include "foxpro/value.h"

namespace quorvel::frame {

// The replacement when value is the database null, otherwise value itself;
// both may be of any type, null included.
foxpro::Value NullToValue(const foxpro::Value& value, const foxpro::Value& replacement);

}  // namespace quorvel::frame
