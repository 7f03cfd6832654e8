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

// The same from Windows' short-date and time pictures (LOCALE_SSHORTDATE,
// LOCALE_STIMEFORMAT): "M/d/yyyy" -> "%m/%d/%Y", "h:mm:ss tt" -> "%H:%M:%S".
std::string datePatternFromPicture(std::string_view picture);
std::string timePatternFromPicture(std::string_view picture);

}  // namespace quorvel::foxpro
