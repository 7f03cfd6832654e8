#pragma once

#include <string>

namespace quorvel::foxpro {

// The locale-dependent pieces of the text forms, built once by the program
// (from the environment) or explicitly by tests.
struct TextLocale {
    std::string decimalSeparator = ".";
    // strftime-like patterns using only %Y %m %d (date) and %H %M %S (time);
    // other characters are copied.  The date uses a four-digit year and the
    // time is 24-hour with seconds.
    std::string datePattern = "%Y-%m-%d";
    std::string timePattern = "%H:%M:%S";

    // The C/POSIX forms: "." and "2020-12-31" / "13:02:03".
    static TextLocale c() { return TextLocale(); }

    // From the process environment (LC_ALL / LC_NUMERIC / LC_TIME), through
    // the C library's locale data.
    static TextLocale fromEnvironment();
};

}  // namespace quorvel::foxpro
