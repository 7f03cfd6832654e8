#include "foxpro/text/code_page_name.h"

#include <cstdlib>

#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

namespace {

struct NamedCodePage {
    const char* name;  // upper case, without blanks, '-' and '_'
    int codePage;
};

constexpr NamedCodePage kNames[] = {
    {"UTF8", kCodePageUtf8},
    {"ASCII", 20127},
    {"USASCII", 20127},
    {"KOI8R", 20866},
    {"KOI8U", 21866},
    {"GBK", 936},
    {"GB2312", 936},
    {"EUCCN", 936},
    {"GB18030", 54936},
    {"BIG5", 950},
    {"SHIFTJIS", 932},
    {"SJIS", 932},
    {"MSKANJI", 932},
    {"EUCJP", 20932},
    {"EUCKR", 51949},
    {"UHC", 949},
    {"JOHAB", 1361},
    {"TIS620", 874},
    {"MAC", 10000},
    {"MACINTOSH", 10000},
    {"MACROMAN", 10000},
    {"MACCYRILLIC", 10007},
    {"MACCENTRALEUROPE", 10029},
    {"LATIN1", 28591},
    {"LATIN2", 28592},
    {"LATIN3", 28593},
    {"LATIN4", 28594},
    {"LATIN5", 28599},
    {"LATIN9", 28605},
};

// Prefixes that a code page number follows.
constexpr const char* kNumberPrefixes[] = {"CP",  "WINDOWS", "WIN",   "ANSI",
                                           "IBM", "OEM",     "MSDOS", "DOS"};

constexpr KnownCodePage kKnown[] = {
    {437, "US MS-DOS"},
    {737, "Greek MS-DOS"},
    {850, "International MS-DOS"},
    {852, "Eastern European MS-DOS"},
    {857, "Turkish MS-DOS"},
    {860, "Portuguese MS-DOS"},
    {861, "Icelandic MS-DOS"},
    {863, "French-Canadian MS-DOS"},
    {865, "Nordic MS-DOS"},
    {866, "Russian MS-DOS"},
    {874, "Thai"},
    {932, "Japanese Shift-JIS"},
    {936, "Chinese GBK"},
    {949, "Korean"},
    {950, "Chinese Big5"},
    {1250, "Eastern European Windows"},
    {1251, "Russian Windows"},
    {1252, "Windows ANSI"},
    {1253, "Greek Windows"},
    {1254, "Turkish Windows"},
    {1255, "Hebrew Windows"},
    {1256, "Arabic Windows"},
    {1257, "Baltic Windows"},
    {10000, "Standard Macintosh"},
    {10007, "Russian Macintosh"},
    {10029, "Eastern European Macintosh"},
    {kCodePageUtf8, "UTF-8"},
};

bool allDigits(std::string_view s) {
    if (s.empty() || s.size() > 6) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int numberOf(std::string_view digits) {
    return std::atoi(std::string(digits).c_str());
}

}  // namespace

int codePageNamed(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '-' || c == '_' || c == '\r' || c == '\n') continue;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        key.push_back(c);
    }
    if (allDigits(key)) {
        // ESRI writes ISO 8859-n as 8859n.
        if (key.size() > 4 && key.compare(0, 4, "8859") == 0) {
            const int part = numberOf(std::string_view(key).substr(4));
            return part >= 1 && part <= 15 ? 28590 + part : 0;
        }
        const int n = numberOf(key);
        return n > 0 && n <= 65535 ? n : 0;
    }
    if (key.compare(0, 7, "ISO8859") == 0 && allDigits(std::string_view(key).substr(7))) {
        const int part = numberOf(std::string_view(key).substr(7));
        return part >= 1 && part <= 15 ? 28590 + part : 0;
    }
    for (const auto& named : kNames)
        if (key == named.name) return named.codePage;
    for (const char* prefix : kNumberPrefixes) {
        const std::string_view p(prefix);
        if (key.size() > p.size() && key.compare(0, p.size(), p) == 0 &&
            allDigits(std::string_view(key).substr(p.size()))) {
            const int n = numberOf(std::string_view(key).substr(p.size()));
            return n > 0 && n <= 65535 ? n : 0;
        }
    }
    return 0;
}

std::string codePageName(int codePage) {
    return codePage == kCodePageUtf8 ? "UTF-8" : std::to_string(codePage);
}

std::span<const KnownCodePage> knownCodePages() {
    return kKnown;
}

}  // namespace quorvel::foxpro
