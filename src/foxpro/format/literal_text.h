#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// Small text helpers shared by the statement parser and the field encoder,
// so that a literal and a text converted into a typed field follow the same
// rules.

// True for a real calendar day in 1..9999.
bool isValidDate(const Date& d);
bool isValidDateTime(const DateTime& dt);

// "2020-12-31" or "2020/12/31", optionally followed by a blank or "T" and
// "13:02" or "13:02:03".  Surrounding blanks are ignored.  nullopt when the
// text is no such date or names a day that does not exist.  dateOnly is set
// when no time was given.
std::optional<DateTime> parseIsoDateTime(std::string_view text, bool* dateOnly = nullptr);

// A decimal number as the dialect writes it: optional sign, digits with an
// optional "." (at least one digit), optional exponent.  Surrounding blanks
// are ignored.  True when the whole text is such a number.
bool isNumberText(std::string_view text);

// The number as an exact decimal: sign, digits and the power of ten that
// scales them ("-1.5e3" -> negative, "15", 2).  Leading zeros removed;
// "0" has digits "0".  nullopt when !isNumberText(text).
struct DecimalParts {
    bool negative = false;
    std::string digits;  // no leading zeros, "0" for zero
    int exponent = 0;    // value = digits x 10^exponent
};
std::optional<DecimalParts> parseDecimal(std::string_view text);

}  // namespace quorvel::foxpro
