#pragma once

#include <string>

#include "foxpro/format/value.h"

namespace quorvel::compare {

// Numbers compare by value wherever the comparison meets them (value
// rules, record and key hashes, key pairing): across N, F, I, Y and B,
// minus zero equal to zero and any NaN equal to any NaN.

// True for Integer, Decimal, Double and Currency values.
bool isNumber(const foxpro::Value& value);

// The canonical decimal text of a number, whatever its kind: equal for two
// numbers exactly when they are equal by value ("12.5", "-3", "0" for
// minus zero too, "nan" for every NaN, "inf" and "-inf").  The value's
// text for any other kind.
void appendCanonicalNumber(std::string& out, const foxpro::Value& value);
std::string canonicalNumber(const foxpro::Value& value);

// Whether two numbers (isNumber) are equal by value.
bool numbersEqual(const foxpro::Value& a, const foxpro::Value& b);

}  // namespace quorvel::compare
