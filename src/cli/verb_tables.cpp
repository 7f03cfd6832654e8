// quorvel-cli tables SOURCE: the table names of a source, one a line.

#include <cstdio>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "foxpro/connection.h"
#include "foxpro/foxpro_error.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Lists the tables of SOURCE, one a line: for a folder of free tables the .dbf\n"
    "file names without extension (names starting with '~' left out), for a .dbc\n"
    "database container its tables in container order.\n";

int run(const Arguments& args) {
    const int codePage = codePageOf(args);
    try {
        foxpro::Connection connection;
        openSource(connection, args.operands[0], codePage);
        for (const auto& name : connection.tableNames()) std::printf("%s\n", name.c_str());
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("tables", e.description());
    }
}

const VerbRegistration kRegistration{{
    "tables",
    "list the tables of a source",
    "SOURCE",
    1,
    1,
    {encodingOption()},
    kDescription,
    "Exit status: 0 success, 2 failure.\n",
    run,
}};

}  // namespace

}  // namespace quorvel::cli
