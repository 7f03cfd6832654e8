#pragma once

// Code pages as people and other programs name them: in a .cpg file beside
// a table, on the command line, in the windows' list.

#include <span>
#include <string>
#include <string_view>

namespace quorvel::foxpro {

// The Windows code page number a name gives, 0 when it gives none.  Taken:
// a number ("1251", "65001"; ESRI's "88591" for ISO 8859-1), a number after
// CP, WINDOWS, ANSI, IBM, OEM or DOS ("CP866", "windows-1252", "ANSI 1251"),
// and the usual iconv names (UTF-8, ISO-8859-5, KOI8-R, GBK, GB18030, Big5,
// Shift_JIS, EUC-JP, EUC-KR, MACINTOSH, ...).  Letter case, blanks, '-' and
// '_' do not matter.  Whether the system can convert it is another question
// (canConvertCodePage).
int codePageNamed(std::string_view name);

// How messages show a code page: "UTF-8" for 65001, else its number.
std::string codePageName(int codePage);

// The code pages offered for a choice: those of the code page marks, and
// UTF-8, each with a few words on what it is for.
struct KnownCodePage {
    int codePage;
    const char* description;
};
std::span<const KnownCodePage> knownCodePages();

}  // namespace quorvel::foxpro
