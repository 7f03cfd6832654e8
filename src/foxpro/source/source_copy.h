#pragma once

#include <string>
#include <vector>

namespace quorvel::foxpro {

class DataSource;

// Copies, as bytes, every table of source with its memo file, index and
// .cpg and, for a container, the container's own files (.dbc, .dct, .dcx)
// into folder (which exists), each under its path relative to the
// source's folder, so that the container's table paths and the tables'
// backlinks hold in the copy.  Returns the data path of the copy: the
// container file in folder, or folder itself.  Throws FoxProError naming
// the file and the problem: a container table whose file is missing or
// lies outside the container's folder, a file that cannot be read or
// written.  The source is only read.
std::string copySourceFiles(const DataSource& source, const std::string& folder);

// Copies the table called name of source into folder as a free table
// under its file name: a free table as bytes with its whole set; a
// container's table without its container link, its index rebuilt with
// the free table's field names (carried_index.h) and, when something
// could not be carried, NAME.prg beside it.  Returns what the index left
// out and the script's line.  Throws FoxProError when a file of that
// name is in folder already or a file cannot be read or written.
std::vector<std::string> copyAsFreeTable(const DataSource& source, const std::string& name,
                                         const std::string& folder);

}  // namespace quorvel::foxpro
