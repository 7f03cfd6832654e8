#pragma once

#include "cli/arguments.h"

namespace quorvel::cli {

// quorvel-cli merge SOURCE1 SOURCE2 --into FOLDER: a complete copy of
// SOURCE1 in the new FOLDER, each table that differs from SOURCE2's table
// of the same name replaced by its merge.  Exit status 0 made and every
// difference applied, 1 made with some tables or differences failed
// (listed), 2 nothing made.
int runMergeSources(const Arguments& args);

}  // namespace quorvel::cli
