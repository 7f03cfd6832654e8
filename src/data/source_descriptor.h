#pragma once

#include <string>

namespace quorvel::data {

// One FoxPro source as the start window holds it.  Only the path that the
// kind flag selects is used.
struct SourceDescriptor {
    bool optionDBC = true;   // true: database container file; false: folder of free tables
    std::string dbcPath;     // DBCPathn
    std::string folderText;  // text of the folder box, exactly as entered

    // The data source handed to a connection: the container path or the
    // folder text.
    std::string dataPath() const { return optionDBC ? dbcPath : folderText; }
};

// "Provider=vfpoledb.1;Data Source=" + data source + ";Collating
// Sequence=machine;" (container) or ";Collating Sequence=general;"
// (folder).  A data source that the string's parser would not read back
// byte for byte (a blank or tab at either end, a ';' or a '"') is put
// between '"', each '"' inside doubled.
std::string connectionString(const std::string& dataSource, bool isContainer);
inline std::string connectionString(const SourceDescriptor& source) {
    return connectionString(source.dataPath(), source.optionDBC);
}

}  // namespace quorvel::data
