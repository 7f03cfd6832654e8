// quorvel-cli tables SOURCE: the table names of a source, one a line.

#include <cstdio>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "foxpro/connection.h"
#include "foxpro/foxpro_error.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-cli tables SOURCE [--encoding NAME]\n"
    "Lists the tables of SOURCE, one a line: for a folder of free tables the .dbf file names\n"
    "without extension (names starting with '~' left out), for a .dbc database container its\n"
    "tables in container order.\n";

int run(std::vector<std::string> args) {
    if (helpRequested(args, kUsage)) return 0;
    std::string error;
    const int codePage = takeEncoding(args, error);
    if (!error.empty()) return failure("tables", error);
    if (args.size() != 1) return failure("tables", "expected one SOURCE (try --help)");
    try {
        foxpro::Connection connection;
        openSource(connection, args[0], codePage);
        for (const auto& name : connection.tableNames()) std::printf("%s\n", name.c_str());
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("tables", e.description());
    }
}

const VerbRegistration kRegistration{{"tables", "list the tables of a source", run}};

}  // namespace

}  // namespace quorvel::cli
