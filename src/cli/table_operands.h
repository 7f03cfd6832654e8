#pragma once

// Table files as operands: wherever a verb takes SOURCE TABLE, one operand
// that names a table file (orders.dbf, form.scx) stands for its folder and
// its file name.

#include <string>
#include <vector>

#include "foxpro/read/table_file.h"

namespace quorvel::cli {

using foxpro::isTableFile;

// The operands with each table file that stands where the usage pattern
// ("SOURCE1 TABLE1 SOURCE2 TABLE2 NEWNAME") has a SOURCE followed by a TABLE
// replaced by its folder and file name.  Other operands stay as given.
std::vector<std::string> expandTableOperands(const std::string& pattern,
                                             const std::vector<std::string>& operands);

}  // namespace quorvel::cli
