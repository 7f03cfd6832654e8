#include <windows.h>

#include "foxpro/platform/locale_formats.h"
#include "foxpro/platform/wide_path.h"

namespace quorvel::foxpro::platform {

namespace {

// "de_DE.UTF-8" as Windows names it ("de-DE"); "" the user's own locale.
std::wstring windowsLocaleName(const std::string& localeName) {
    std::string name = localeName.substr(0, localeName.find_first_of(".@"));
    for (char& c : name)
        if (c == '_') c = '-';
    return wideFromUtf8(name);
}

std::string localeInfo(const std::string& localeName, LCTYPE what) {
    const std::wstring name = windowsLocaleName(localeName);
    const wchar_t* locale = name.empty() ? LOCALE_NAME_USER_DEFAULT : name.c_str();
    wchar_t text[128] = {};
    const int n = GetLocaleInfoEx(locale, what, text, 128);
    return n > 1 ? utf8FromWide(std::wstring_view(text, static_cast<std::size_t>(n - 1))) : "";
}

}  // namespace

std::string decimalSeparatorOf(const std::string& localeName) {
    return localeInfo(localeName, LOCALE_SDECIMAL);
}

std::optional<DateTimeFormats> dateTimeFormatsOf(const std::string& localeName) {
    DateTimeFormats formats;
    formats.notation = FormatNotation::Pictures;
    formats.shortDate = localeInfo(localeName, LOCALE_SSHORTDATE);
    formats.time = localeInfo(localeName, LOCALE_STIMEFORMAT);
    if (formats.shortDate.empty() && formats.time.empty()) return std::nullopt;
    return formats;
}

}  // namespace quorvel::foxpro::platform
