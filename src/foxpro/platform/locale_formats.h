#pragma once

#include <optional>
#include <string>

namespace quorvel::foxpro::platform {

// How the system writes a locale's date and time formats down.
enum class FormatNotation {
    Strftime,  // the C library's "%d.%m.%Y", "%H:%M:%S"
    Pictures   // Windows' "dd.MM.yyyy", "HH:mm:ss"
};

struct DateTimeFormats {
    FormatNotation notation = FormatNotation::Strftime;
    std::string shortDate;
    std::string time;
};

// What the system's locale data say for a locale, named as the environment
// names it ("de_DE.UTF-8"; Windows takes such names too).  An empty name
// is the user's own locale where the system keeps one (Windows), and the C
// locale elsewhere.  nullopt (or "") when the system does not know the
// locale: the caller keeps the C forms.
std::string decimalSeparatorOf(const std::string& localeName);
std::optional<DateTimeFormats> dateTimeFormatsOf(const std::string& localeName);

}  // namespace quorvel::foxpro::platform
