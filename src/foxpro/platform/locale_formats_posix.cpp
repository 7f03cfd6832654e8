#include <langinfo.h>
#include <locale.h>

#include "foxpro/platform/locale_formats.h"

namespace quorvel::foxpro::platform {

std::string decimalSeparatorOf(const std::string& localeName) {
    if (localeName.empty()) return "";
    std::string separator;
    if (locale_t loc = newlocale(LC_NUMERIC_MASK, localeName.c_str(), static_cast<locale_t>(0))) {
        const char* radix = nl_langinfo_l(RADIXCHAR, loc);
        if (radix) separator = radix;
        freelocale(loc);
    }
    return separator;
}

std::optional<DateTimeFormats> dateTimeFormatsOf(const std::string& localeName) {
    if (localeName.empty()) return std::nullopt;
    locale_t loc = newlocale(LC_TIME_MASK, localeName.c_str(), static_cast<locale_t>(0));
    if (!loc) return std::nullopt;
    DateTimeFormats formats;
    const char* date = nl_langinfo_l(D_FMT, loc);
    const char* time = nl_langinfo_l(T_FMT, loc);
    formats.shortDate = date ? date : "";
    formats.time = time ? time : "";
    freelocale(loc);
    return formats;
}

}  // namespace quorvel::foxpro::platform
