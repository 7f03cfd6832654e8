#include "sides/side_stream.h"

namespace quorvel::sides {

std::unique_ptr<SideStream> openSideStream(const SideUri& side, const std::string& timeZone) {
    if (side.kind != SideKind::Csv && side.table.empty())
        throw SideError(side.text + ": no table named (add ?table=NAME)");
    switch (side.kind) {
        case SideKind::Csv:
            return openCsvSide(side);
        case SideKind::Sqlite:
            return openSqliteSide(side);
        case SideKind::Postgres:
            return openPostgresSide(side, timeZone);
    }
    return nullptr;
}

std::vector<std::string> sideTableNames(const SideUri& side) {
    switch (side.kind) {
        case SideKind::Csv: {
            // A CSV file holds one table, named after the file.
            std::string name = side.location.substr(side.location.find_last_of("/\\") + 1);
            if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
                name.erase(dot);
            return {name};
        }
        case SideKind::Sqlite:
            return sqliteTableNames(side);
        case SideKind::Postgres:
            return postgresTableNames(side);
    }
    return {};
}

}  // namespace quorvel::sides
