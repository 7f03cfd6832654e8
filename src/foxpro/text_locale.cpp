#include "foxpro/text_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>

#include "foxpro/locale_patterns.h"

namespace quorvel::foxpro {

namespace {

// The locale name a category takes from the environment, as setlocale(cat,
// "") would: LC_ALL, then the category's variable, then LANG.
std::string environmentLocale(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return v;
    }
    return "C";
}

bool isCLocale(const std::string& name) {
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

}  // namespace

std::string datePatternFrom(std::string_view fmt) {
    std::string out;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 == fmt.size()) {
            out.push_back(fmt[i]);
            continue;
        }
        char c = fmt[++i];
        while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') &&
               i + 1 < fmt.size())
            c = fmt[++i];  // modifiers and flags
        switch (c) {
            case 'Y':
            case 'y':
            case 'C':
            case 'G':
                out += "%Y";
                break;
            case 'm':
            case 'b':
            case 'B':
            case 'h':
                out += "%m";
                break;
            case 'd':
            case 'e':
                out += "%d";
                break;
            case 'D':
                out += "%m/%d/%Y";
                break;
            case 'F':
                out += "%Y-%m-%d";
                break;
            case 'a':
            case 'A':
            case 'u':
            case 'w':
                break;  // weekday names: dropped
            case '%':
                out += "%%";
                break;
            default:
                break;
        }
    }
    // Separators left over from dropped parts ("%a %d.%m.%Y" -> " %d...").
    while (!out.empty() && (out.front() == ' ' || out.front() == ',')) out.erase(0, 1);
    return out.find("%Y") == std::string::npos ? "%Y-%m-%d" : out;
}

std::string timePatternFrom(std::string_view fmt) {
    std::string expanded;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            const char c = fmt[i + 1];
            if (c == 'T') {
                expanded += "%H:%M:%S";
                ++i;
                continue;
            }
            if (c == 'R') {
                expanded += "%H:%M";
                ++i;
                continue;
            }
            if (c == 'r') {
                expanded += "%I:%M:%S %p";
                ++i;
                continue;
            }
        }
        expanded.push_back(fmt[i]);
    }
    std::string out;
    for (std::size_t i = 0; i < expanded.size(); ++i) {
        if (expanded[i] != '%' || i + 1 == expanded.size()) {
            out.push_back(expanded[i]);
            continue;
        }
        char c = expanded[++i];
        while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') &&
               i + 1 < expanded.size())
            c = expanded[++i];
        switch (c) {
            case 'H':
            case 'I':
            case 'k':
            case 'l':
                out += "%H";
                break;
            case 'M':
                out += "%M";
                break;
            case 'S':
                out += "%S";
                break;
            case '%':
                out += "%%";
                break;
            default:
                break;  // %p, %P, %Z ...: 24-hour form has no day half
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    if (out.find("%H") == std::string::npos || out.find("%M") == std::string::npos)
        return "%H:%M:%S";
    if (out.find("%S") == std::string::npos) {
        // Seconds go right after the minutes, with the separator before them.
        const auto m = out.find("%M");
        const auto h = out.find("%H");
        std::string sep = h + 2 < m ? out.substr(h + 2, m - h - 2) : ":";
        out.insert(m + 2, sep + "%S");
    }
    return out;
}

TextLocale TextLocale::fromEnvironment() {
    TextLocale result;
    const std::string numericName = environmentLocale("LC_NUMERIC");
    const std::string timeName = environmentLocale("LC_TIME");
    if (!isCLocale(numericName)) {
        if (locale_t loc =
                newlocale(LC_NUMERIC_MASK, numericName.c_str(), static_cast<locale_t>(0))) {
            const char* radix = nl_langinfo_l(RADIXCHAR, loc);
            if (radix && *radix) result.decimalSeparator = radix;
            freelocale(loc);
        }
    }
    if (!isCLocale(timeName)) {
        if (locale_t loc = newlocale(LC_TIME_MASK, timeName.c_str(), static_cast<locale_t>(0))) {
            const char* d = nl_langinfo_l(D_FMT, loc);
            const char* t = nl_langinfo_l(T_FMT, loc);
            if (d && *d) result.datePattern = datePatternFrom(d);
            if (t && *t) result.timePattern = timePatternFrom(t);
            freelocale(loc);
        }
    }
    return result;
}

}  // namespace quorvel::foxpro
