// quorvel-cli show SOURCE TABLE: a table as CSV, values in their text forms.

#include <cstdio>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "foxpro/connection.h"
#include "foxpro/data_source.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/table_reader.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-cli show SOURCE TABLE\n"
    "Prints TABLE of SOURCE as CSV (RFC 4180): a header line with the field names, then one\n"
    "line per record (deleted records left out), values in their text forms under the current\n"
    "locale (LC_ALL / LC_NUMERIC / LC_TIME).  Binary values are shown as 0h and hex digits.\n";

int run(const std::vector<std::string>& args) {
    if (helpRequested(args, kUsage)) return 0;
    if (args.size() != 2) return failure("show", "expected SOURCE TABLE (try --help)");
    try {
        const foxpro::TextLocale locale = localeFromEnvironment();
        foxpro::Connection connection;
        openSource(connection, args[0]);
        warnAboutTable("show", *connection.source().openTable(args[1]));
        printRows(connection, "SELECT * FROM [" + args[1] + "]", locale);
        if (std::fflush(stdout) != 0) return failure("show", "cannot write to standard output");
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("show", e.description());
    }
}

const VerbRegistration kRegistration{{"show", "print a table as CSV", run}};

}  // namespace

}  // namespace quorvel::cli
