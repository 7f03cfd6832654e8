#pragma once

// The table of a database side that a FoxPro table pairs with when the URI
// names none (diff orders.dbf sqlite:shop.db): the one of the table's own
// name.

#include <string>
#include <vector>

#include "sides/side_uri.h"

namespace quorvel::sides {

// The FoxPro table's own name: the operand without its folder and
// extension ("data/orders.dbf" -> "orders").
std::string ownTableName(const std::string& tableOperand);

// The side's table of that name without case, as the side spells it.
// Throws SideError naming the side and the name, with its tables of a like
// name when it has some, or what listing its tables met.
std::string sideTableNamed(const SideUri& side, const std::string& name);

// The names among names like name: the same without case but for a few
// letters, or one holding the other; at most five, closest first.
std::vector<std::string> closeNames(const std::string& name, const std::vector<std::string>& names);

}  // namespace quorvel::sides
