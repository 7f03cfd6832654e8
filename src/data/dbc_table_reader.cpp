#include "data/dbc_table_reader.h"

#include <limits>

#include "data/source_descriptor.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/sql/connection.h"

namespace quorvel::data {

const std::vector<std::string>& DbcTableReader::names(const std::string& dbcPath) {
    // One listing asks for the count and then every name of the same
    // container: read it once per reader, not once per call.
    if (!loaded_ || loadedPath_ != dbcPath) {
        foxpro::Connection connection;
        connection.setMode(foxpro::kModeReadWrite);
        connection.open(connectionString(dbcPath, true));
        names_ = connection.tableNames();
        connection.close();
        loadedPath_ = dbcPath;
        loaded_ = true;
    }
    return names_;
}

int16_t DbcTableReader::TableCount(const std::string& dbcPath) {
    const auto count = names(dbcPath).size();
    if (count > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
        throw foxpro::FoxProError(
            foxpro::kErrorInvalidArgument,
            dbcPath + ": more tables than a table list can hold (" + std::to_string(count) + ")");
    }
    return static_cast<int16_t>(count);
}

std::string DbcTableReader::TableName(const std::string& dbcPath, int16_t index) {
    const auto& list = names(dbcPath);
    if (index < 1 || static_cast<size_t>(index) > list.size()) {
        throw foxpro::FoxProError(foxpro::kErrorInvalidArgument,
                                  dbcPath + ": no table at position " + std::to_string(index));
    }
    return list[static_cast<size_t>(index) - 1];
}

}  // namespace quorvel::data
