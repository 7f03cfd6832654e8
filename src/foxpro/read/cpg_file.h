#pragma once

#include <string>

namespace quorvel::foxpro {

// A .cpg file beside a table: GIS programs write one line naming the code
// page of a table whose header carries no mark ("1251", "CP866", "UTF-8",
// "ANSI 1251").
struct CpgFile {
    int codePage = 0;     // 0 when there is no such file or it names nothing usable
    std::string warning;  // set when a file is there but is not used, naming it
};

// Looks for <stem>.cpg beside the table file (without regard to case) and
// reads its first line.  Never throws: a file that cannot be read, or
// names no code page that can be converted, gives a warning instead.
CpgFile readCpgFile(const std::string& tablePath);

}  // namespace quorvel::foxpro
