#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::data {

// The table list of a database container: the number of its tables and the
// name of each, in container order.  Created for one listing and dropped at
// its end.  Failures (missing or damaged container) throw
// foxpro::FoxProError naming the file.
class DbcTableReader {
  public:
    int16_t TableCount(const std::string& dbcPath);
    // index is 1-based; an index outside 1..TableCount throws.
    std::string TableName(const std::string& dbcPath, int16_t index);

  private:
    const std::vector<std::string>& names(const std::string& dbcPath);

    bool loaded_ = false;
    std::string loadedPath_;
    std::vector<std::string> names_;
};

}  // namespace quorvel::data
