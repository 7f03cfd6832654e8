#include "data/source_descriptor.h"

namespace quorvel::data {

std::string connectionString(const std::string& dataSource, bool isContainer) {
    std::string source = dataSource;
    if (source.find(';') != std::string::npos) source = '"' + source + '"';
    return "Provider=vfpoledb.1;Data Source=" + source +
           (isContainer ? ";Collating Sequence=machine;" : ";Collating Sequence=general;");
}

}  // namespace quorvel::data
