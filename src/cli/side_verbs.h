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

}  // namespace quorvel::cli
