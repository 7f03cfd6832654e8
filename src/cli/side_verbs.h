#pragma once

// The read verbs on a side that is not a FoxPro source (sides/side_uri.h):
// an operand such as sqlite:orders.db?table=orders where SOURCE TABLE stands.

#include <string>

#include "cli/arguments.h"
#include "sides/side_diff.h"

namespace quorvel::cli {

// Whether the verb's first operand names such a side.
bool namesSide(const Arguments& args);

// show and tables on such a side: status 0, or 2 after a message naming it.
int showSide(const Arguments& args);
int listSideTables(const Arguments& args);

// diff SOURCE TABLE URI (or URI TABLE2): whether the operands ask for it,
// and the comparison (verb_diff_side.cpp): status 0, 1 or 2 as diff's.
bool diffNamesSide(const Arguments& args);
int diffWithSide(const Arguments& args);

// The value rules, ignored fields and line locale of a comparison with a
// side, from diff's options (format: the --format given).
sides::SideDiffOptions sideDiffOptionsOf(const Arguments& args, const std::string& format);

// 'Column "price": 1000000 equal, 2 differ (N(10,2) as numeric)', with the
// values cut by a narrower column after it.
std::string columnLine(const sides::SideColumnReport& column);

}  // namespace quorvel::cli
