#pragma once

#include <string_view>

#include "foxpro/format/ascii_case.h"

namespace quorvel::foxpro {

// A file name without its last extension ("calls" of "calls.dbf").
inline std::string_view stemOfFileName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
}

// Whether fileName is one of the files a free table called stem consists
// of: its .dbf, memo file (.fpt, .dbt), structural index (.cdx) and
// code-page file (.cpg), whatever their letter case.
inline bool isFileOfTableSet(std::string_view stem, std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || !equalsNoCase(fileName.substr(0, dot), stem)) return false;
    const std::string_view ext = fileName.substr(dot);
    for (const std::string_view known : {".dbf", ".fpt", ".dbt", ".cdx", ".cpg"})
        if (equalsNoCase(ext, known)) return true;
    return false;
}

}  // namespace quorvel::foxpro
