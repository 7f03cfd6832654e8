#pragma once

// What git's merge driver writes over %A when the table has a memo file or
// a structural index: its own file of the merged table, made to agree with
// the other files that git keeps where git merges them without the driver.

#include <array>
#include <string>

#include "cli/driver_revisions.h"

namespace quorvel::foxpro {
class TableReader;
}

namespace quorvel::cli {

// The side (1 ours, 2 theirs) whose file git keeps without calling the
// driver for it, as git decides by the blobs; -1 when git calls the driver
// (both sides changed it), -2 when git leaves a conflict of its own (one
// side deleted it, the other changed it).
int keptSide(const std::array<std::string, 3>& blobs);

// The bytes to write over %A: the merged table, memo file or index (handed),
// read from merged, the table the merge wrote beside its memo file and
// ours' index rebuilt.  sides are the three revisions' tables read with
// their own memo files.  Where a file git keeps cannot go with the merge
// (an index kept must list the merged records' keys), returns false with
// why.
bool driverResult(const DriverRevisions& revisions, DriverFile handed,
                  const std::array<const foxpro::TableReader*, 3>& sides,
                  const foxpro::TableReader& merged, std::string& bytes, std::string& why);

}  // namespace quorvel::cli
