// quorvel-cli show SOURCE TABLE: a table as CSV, values in their text forms.

#include <cstdio>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "foxpro/connection.h"
#include "foxpro/foxpro_error.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-cli show SOURCE TABLE [--encoding NAME]\n"
    "Prints TABLE of SOURCE as CSV (RFC 4180): a header line with the field names, then one\n"
    "line per record (deleted records left out), values in their text forms under the current\n"
    "locale (LC_ALL / LC_NUMERIC / LC_TIME).  Binary values are shown as 0h and hex digits.\n";

int run(std::vector<std::string> args) {
    if (helpRequested(args, kUsage)) return 0;
    std::string error;
    const int codePage = takeEncoding(args, error);
    if (!error.empty()) return failure("show", error);
    if (args.size() != 2) return failure("show", "expected SOURCE TABLE (try --help)");
    try {
        const foxpro::TextLocale locale = localeFromEnvironment();
        foxpro::Connection connection;
        openSource(connection, args[0], codePage);
        printRows(connection, "SELECT * FROM [" + args[1] + "]", locale, "show");
        if (std::fflush(stdout) != 0) return failure("show", "cannot write to standard output");
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("show", e.description());
    }
}

const VerbRegistration kRegistration{{"show", "print a table as CSV", run}};

}  // namespace

}  // namespace quorvel::cli
