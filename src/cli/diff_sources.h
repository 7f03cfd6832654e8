#pragma once

#include "cli/arguments.h"

namespace quorvel::cli {

// quorvel-cli diff SOURCE1 SOURCE2: every table of SOURCE1 against the
// table of SOURCE2 of the same name (without case), each paired by its own
// key unless --key or --align says otherwise.  Exit status 0 all identical,
// 1 something differs or is in one source only, 2 a table could not be
// compared (the others still are).
int runDiffSources(const Arguments& args);

}  // namespace quorvel::cli
