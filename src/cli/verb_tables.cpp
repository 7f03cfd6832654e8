// quorvel-cli tables SOURCE: the table names of a source, one a line.

#include <algorithm>
#include <cstdio>

#include "cli/cli_common.h"
#include "cli/side_verbs.h"
#include "cli/table_keys_listing.h"
#include "cli/verbs.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/console.h"
#include "foxpro/source/data_source.h"
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
    "--long adds under each name its index tags (name, flags, key and FOR\n"
    "expressions), the container's indexes, and the key that --key auto pairs\n"
    "its records by.\n"
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
        std::unique_ptr<foxpro::DataSource> keys;
        if (args.has("long")) keys = foxpro::DataSource::open(args.operands[0], codePage);
        for (const auto& name : connection.tableNames()) {
            const std::string line = keys ? tableKeysListing(*keys, name) : name;
            std::string shown;
            // Escaped line by line: the listing's own line breaks stay.
            // (A listing ends with its line break, which the loop leaves off.)
            std::size_t at = 0;
            do {
                const std::size_t end =
                    keys ? std::min(line.find('\n', at), line.size()) : line.size();
                if (at > 0) shown += '\n';
                const std::string part = line.substr(at, end - at);
                shown += terminal ? frame::printableText(part) : part;
                at = end + 1;
            } while (at < line.size());
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
    {encodingOption(), {"long", 'l', "", "also each table's index tags and automatic key"}},
    kDescription,
    "Exit status: 0 success, 2 failure.\n",
    run,
}};

}  // namespace

}  // namespace quorvel::cli
