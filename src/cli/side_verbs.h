#pragma once

// The read verbs on a side that is not a FoxPro source (sides/side_uri.h):
// an operand such as sqlite:orders.db?table=orders where SOURCE TABLE stands.

#include "cli/arguments.h"

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

}  // namespace quorvel::cli
