#pragma once

#include <string>
#include <vector>

namespace quorvel::foxpro {

class DataSource;

// Gives the table called name of copy (a copy in a folder nobody else uses
// yet) the records and memos of the table at mergedPath, a merge built
// from it with the same record layout: the table keeps its own header (its
// field names, container link and flags) with the merged table's count of
// records, and its structural index is rebuilt from the new records with
// its own tags, expressions unchanged.  The merged table's files are used
// up (its memo file becomes the table's).  Returns one message per tag
// left out.  Throws FoxProError naming the table when the layouts differ
// or a file cannot be read or written.
std::vector<std::string> takeMergedRecords(const DataSource& copy, const std::string& name,
                                           const std::string& mergedPath);

}  // namespace quorvel::foxpro
