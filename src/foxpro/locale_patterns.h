#pragma once

#include <string>
#include <string_view>

namespace quorvel::foxpro {

// The text forms' date pattern from a C library short-date format (D_FMT):
// the same order and separators with a four-digit year, using only %Y %m %d
// ("%d/%m/%y" -> "%d/%m/%Y").  "%Y-%m-%d" when the format has no year.
std::string datePatternFrom(std::string_view dateFormat);

// The text forms' time pattern from a C library time format (T_FMT): 24-hour
// with seconds, using only %H %M %S ("%I:%M:%S %p" -> "%H:%M:%S").
std::string timePatternFrom(std::string_view timeFormat);

}  // namespace quorvel::foxpro
