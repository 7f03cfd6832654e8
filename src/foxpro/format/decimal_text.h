#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::foxpro {

// The canonical decimal text of a stored N or F field, read the way FoxPro's
// VAL() reads it: leading blanks skipped, then an optional sign, digits, an
// optional point with digits and an optional exponent; whatever follows is
// ignored, and text without a leading number (blanks, "NotA", "*****") is 0.
// The result has "-" only for negative values, one "0" before the point when
// the integer part is empty, no trailing zeros after the point and no point
// when nothing follows it: "  -12.50" -> "-12.5", "    .5" -> "0.5".
std::string canonicalDecimal(std::string_view stored);

// The same written to buffer, which holds at least kCanonicalDecimalRoom
// bytes, for the common case: stored text of at most kCanonicalDecimalLimit
// bytes without an exponent.  Returns the result inside buffer, or an empty
// view when the text needs canonicalDecimal (a result is never empty).
inline constexpr std::size_t kCanonicalDecimalLimit = 256;
inline constexpr std::size_t kCanonicalDecimalRoom = kCanonicalDecimalLimit + 3;
std::string_view canonicalDecimalPlain(std::string_view stored, char* buffer);

}  // namespace quorvel::foxpro
