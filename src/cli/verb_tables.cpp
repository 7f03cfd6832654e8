// quorvel-cli tables SOURCE: the table names of a source, one a line.

#include <cstdio>

#include "cli/cli_common.h"
#include "cli/side_verbs.h"
#include "cli/verbs.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/console.h"
#include "foxpro/sql/connection.h"
#include "frame/printable_text.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Lists the tables of SOURCE, one a line: for a folder of free tables the .dbf\n"
    "file names without extension (names starting with '~' left out), for a .dbc\n"
    "database container its tables in container order.  On a terminal, control\n"
    "characters in names are shown escaped (\\n, \\x1b); a pipe or file gets the\n"
    "names byte for byte.\n"
    "SOURCE may also be a URI (see show): sqlite:PATH lists its tables and views,\n"
    "postgresql://... the tables of its database (schema.name outside public),\n"
    "csv:PATH the one table the file holds.\n";

int run(const Arguments& args) {
    if (namesSide(args)) return listSideTables(args);
    const int codePage = codePageOf(args);
    try {
        foxpro::Connection connection;
        openSource(connection, args.operands[0], codePage);
        // A container's names are whatever its writer put there: escape
        // sequences in them must not reach a terminal, while a script reading
        // a pipe needs the names that select the tables.
        const bool terminal = foxpro::platform::standardOutputIsTerminal();
        for (const auto& name : connection.tableNames()) {
            const std::string shown = terminal ? frame::printableText(name) : name;
            std::fwrite(shown.data(), 1, shown.size(), stdout);
            std::fputc('\n', stdout);
        }
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
