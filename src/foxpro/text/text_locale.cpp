#include "foxpro/text/text_locale.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "foxpro/platform/locale_formats.h"
#include "foxpro/text/locale_patterns.h"

namespace quorvel::foxpro {

namespace {

// The locale name a category takes from the environment, as setlocale(cat,
// "") would: LC_ALL, then the category's variable, then LANG; "" when none
// is set (the C locale, or the user's own on Windows).
std::string environmentLocale(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return v;
    }
    return "";
}

bool isCLocale(const std::string& name) {
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// A date pattern of %Y %m %d and separators: without the separators left
// over at its start from dropped parts (" %d.%m.%Y" of "%a %d.%m.%Y");
// "%Y-%m-%d" when it has no year.
std::string finishDatePattern(std::string out) {
    while (!out.empty() && (out.front() == ' ' || out.front() == ',')) out.erase(0, 1);
    return out.find("%Y") == std::string::npos ? "%Y-%m-%d" : out;
}

// A time pattern of %H %M %S and separators: trimmed, with seconds added
// when it has none; "%H:%M:%S" when it lacks hours or minutes.
std::string finishTimePattern(std::string out) {
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

// Windows' date and time pictures: runs of one letter stand for a part
// ("dd", "MMM", "yyyy", "HH"), text in single quotes is literal ('' is a
// quote), anything else is copied.  part gives what a run of letter, count
// letters long, becomes (nullopt: the letter is copied as it is).
template <typename Part>
std::string fromPicture(std::string_view picture, Part part) {
    std::string out;
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            const std::size_t end = picture.find('\'', i + 1);
            const std::string_view text = picture.substr(
                i + 1, (end == std::string_view::npos ? picture.size() : end) - i - 1);
            if (text.empty() && end != std::string_view::npos) out += '\'';
            for (char t : text) out += t == '%' ? std::string("%%") : std::string(1, t);
            i = end == std::string_view::npos ? picture.size() : end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (const std::optional<std::string> replaced = part(c, run)) {
            out += *replaced;
        } else {
            for (std::size_t k = 0; k < run; ++k)
                out += c == '%' ? std::string("%%") : std::string(1, c);
        }
        i += run;
    }
    return out;
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
    return finishDatePattern(std::move(out));
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
    return finishTimePattern(std::move(out));
}

std::string datePatternFromPicture(std::string_view picture) {
    return finishDatePattern(
        fromPicture(picture, [](char c, std::size_t run) -> std::optional<std::string> {
            switch (c) {
                case 'd':
                    return run <= 2 ? "%d" : "";  // ddd, dddd: the weekday's name, dropped
                case 'M':
                    return "%m";  // MMM, MMMM (the month's name) too
                case 'y':
                    return "%Y";
                case 'g':
                    return "";  // the era
                default:
                    return std::nullopt;
            }
        }));
}

std::string timePatternFromPicture(std::string_view picture) {
    return finishTimePattern(
        fromPicture(picture, [](char c, std::size_t) -> std::optional<std::string> {
            switch (c) {
                case 'h':
                case 'H':
                    return "%H";
                case 'm':
                    return "%M";
                case 's':
                    return "%S";
                case 't':
                    return "";  // AM / PM: the 24-hour form has no day half
                default:
                    return std::nullopt;
            }
        }));
}

TextLocale TextLocale::fromEnvironment() {
    TextLocale result;
    const std::string numericName = environmentLocale("LC_NUMERIC");
    const std::string timeName = environmentLocale("LC_TIME");
    if (!isCLocale(numericName)) {
        const std::string separator = platform::decimalSeparatorOf(numericName);
        if (!separator.empty()) result.decimalSeparator = separator;
    }
    if (!isCLocale(timeName)) {
        if (const auto formats = platform::dateTimeFormatsOf(timeName)) {
            const bool pictures = formats->notation == platform::FormatNotation::Pictures;
            if (!formats->shortDate.empty())
                result.datePattern = pictures ? datePatternFromPicture(formats->shortDate)
                                              : datePatternFrom(formats->shortDate);
            if (!formats->time.empty())
                result.timePattern = pictures ? timePatternFromPicture(formats->time)
                                              : timePatternFrom(formats->time);
        }
    }
    return result;
}

}  // namespace quorvel::foxpro
