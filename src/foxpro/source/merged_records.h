#pragma once

#include <string>
#include <vector>

namespace quorvel::foxpro {

class DataSource;

struct TakenRecords {
    // The merged table's files took the table's names whole (a free table
    // of another layout: a dBase or FoxPro 2 table, which the merge writes
    // as a Visual FoxPro table).
    bool wholeTable = false;
    std::vector<std::string> messages;  // one per tag left out
};

// Gives the table called name of copy (a copy in a folder nobody else uses
// yet) the records and memos of the table at mergedPath, a merge built
// from it.  With the same record layout the table keeps its own header (its
// field names, container link and flags) with the merged table's count of
// records, and its structural index is rebuilt from the new records with
// its own tags, expressions unchanged.  A free table of another layout is
// replaced by the merged table's set (table, memo, index, .cpg) under its
// names.  The merged table's files are used up.  Throws FoxProError naming
// the table: kErrorInvalidArgument, with nothing changed, when a
// container's table and the merge differ in layout; kErrorFile when a file
// cannot be read or written, which may leave the table part way.
TakenRecords takeMergedRecords(const DataSource& copy, const std::string& name,
                               const std::string& mergedPath);

}  // namespace quorvel::foxpro
