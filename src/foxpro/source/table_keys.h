#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foxpro/index/cdx_reader.h"

namespace quorvel::foxpro {

class DataSource;

// An index a container lists for one of its tables.
struct ContainerIndex {
    std::string tag;  // as the container names it
    bool candidate = false;
};

// What a table says about its keys: the container's primary key and
// indexes (its own container, or the one a folder table's header links it
// to when that lies beside it) and the tags of its structural index.
struct TableKeys {
    std::string containerName;  // file name of the container, "" for a free table
    std::string primaryTag;     // the container's primary key, "" when none
    std::vector<ContainerIndex> containerIndexes;
    std::string indexFile;  // file name of the structural index, "" when none was read
    std::vector<IndexTag> tags;
    // A damaged, truncated or missing index or container: one text each,
    // naming the file.  The keys then hold what could still be read.
    std::vector<std::string> warnings;
};

// The keys of the named table of source.  Never throws for a damaged
// index or container (see warnings); throws FoxProError when the table
// itself cannot be found.
TableKeys readTableKeys(const DataSource& source, std::string_view table);

// The same for a table file, with the container the table belongs to when
// known ("" looks for the one its header links it to).
TableKeys readTableFileKeys(const std::string& tablePath, const std::string& containerPath = {});

}  // namespace quorvel::foxpro
