#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compare/merge3.h"
#include "results/merge.h"

namespace quorvel::foxpro {
class DataSource;
class TableReader;
}  // namespace quorvel::foxpro

namespace quorvel::results {

// The three tables a three-way merge read: base, ours, theirs.
struct Merge3Inputs {
    const foxpro::TableReader* side[3] = {nullptr, nullptr, nullptr};
};

// Writes the kept records of a merge, as it stands (conflicts that are not
// resolved keep ours' side), as a new table called name in target: under
// a hidden name first, put in place whole with its memo file and with the
// structural index of ours (oursPath) rebuilt from its records, or not at
// all.  The header has ours' file type, flags and code page.  Never
// replaces a file of keep; another table of that name only with replace.
// Returns what carrying the index left out.  Throws FoxProError.
// callbacks' processEvents, progress (records written of the kept ones) and
// stopRequested are used, at the one event pace; a stop ends the writing
// with compare::Merge3Stopped and no table.
std::vector<std::string> writeMergedTable(const compare::Merge3Result& result,
                                          const Merge3Inputs& inputs, foxpro::DataSource& target,
                                          const std::string& name, bool replace,
                                          const std::vector<std::string>& keep,
                                          const std::string& oursPath,
                                          const MergeCallbacks& callbacks = {});

// The same written over the file at path, whatever its name: built under a
// temporary name beside it and moved over it in one step (a memo file
// beside a table named so has no name; memo fields make it fail).  release
// is called between the two, to let go of the inputs (path is often one of
// them, which some systems do not replace while it is open).
void writeMergedTableOver(const compare::Merge3Result& result, const Merge3Inputs& inputs,
                          const std::string& path, const std::function<void()>& release = {});

}  // namespace quorvel::results
