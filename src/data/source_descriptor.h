#pragma once

#include <string>

namespace quorvel::data {

// One FoxPro source as the start window holds it.  Only the path that the
// kind flag selects is used.
struct SourceDescriptor {
    bool optionDBC = true;   // true: database container file; false: folder of free tables
    std::string dbcPath;     // DBCPathn
    std::string folderText;  // text of the folder box, exactly as entered
    // The code page of the source's tables: 0 lets each table say (its
    // mark, a .cpg file, its text); else a Windows code page number.
    int codePage = 0;

    // The data source handed to a connection: the container path or the
    // folder text.
    std::string dataPath() const { return optionDBC ? dbcPath : folderText; }
};

// "Provider=vfpoledb.1;Data Source=" + data source + ";Collating
// Sequence=machine;" (container) or ";Collating Sequence=general;"
// (folder), then "Code Page=" + the number + ";" when one is chosen.  A data
// source that the string's parser would not read back byte for byte (a
// blank or tab at either end, a ';' or a '"') is put between '"', each '"'
// inside doubled.
std::string connectionString(const std::string& dataSource, bool isContainer, int codePage = 0);
inline std::string connectionString(const SourceDescriptor& source) {
    return connectionString(source.dataPath(), source.optionDBC, source.codePage);
}

}  // namespace quorvel::data
