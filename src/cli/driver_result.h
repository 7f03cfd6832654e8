#pragma once

// What git's merge driver writes over %A when the table has a memo file:
// its own file of the merged pair, made to agree with the partner that git
// keeps where git merges the partner without the driver.

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

// The bytes to write over %A: the merged table (handedIsMemo false) or the
// merged memo file, read from merged, the table the merge wrote beside its
// memo file.  sides are the three revisions' tables read with their own memo
// files.  Where the partner git keeps cannot go with the merge, returns
// false with why.
bool driverResult(const DriverRevisions& revisions, bool handedIsMemo,
                  const std::array<const foxpro::TableReader*, 3>& sides,
                  const foxpro::TableReader& merged, std::string& bytes, std::string& why);

}  // namespace quorvel::cli
