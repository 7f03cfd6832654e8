// quorvel-cli sql SOURCE STATEMENT: runs one statement of the table-access
// layer's dialect, the way to script and inspect a table by hand.

#include <cstdio>
#include <variant>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "foxpro/connection.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/sql.h"
#include "foxpro/text_form.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-cli sql SOURCE STATEMENT [--encoding NAME] [--force]\n"
    "Runs STATEMENT on a connection to SOURCE (a folder of free tables or a .dbc file).\n"
    "A SELECT prints its rows as CSV like 'show'; any other statement prints nothing.\n"
    "Statements (keywords in any case, names bare or in [brackets]):\n"
    "  SELECT * FROM [t]                      SELECT COUNT(*) FROM [t]\n"
    "  SELECT * FROM [t] WHERE RECNO() = n    SELECT * FROM [t] INTO TABLE [new]\n"
    "  UPDATE [t] SET [f] = value WHERE RECNO() = n\n"
    "  INSERT INTO [t] [([f], ...)] VALUES(value, ...)\n"
    "RECNO() = n is the n-th record, deleted records not counted.  Values: 'text' ('' for an\n"
    "apostrophe), numbers (1.5, -2e3), True, False, NULL, {^2020-12-31}, {^2020-12-31 13:02:03},\n"
    "0hCAFE.  Only the table a statement creates or names as its target is written; text\n"
    "goes in in the code page the table is read in, and what it cannot hold is refused.\n"
    "INTO TABLE refuses an existing table of the new name unless --force is given.\n"
    "Exit status 0 on success, 2 on failure.\n";

int run(std::vector<std::string> args) {
    if (helpRequested(args, kUsage)) return 0;
    std::string error;
    const int codePage = takeEncoding(args, error);
    if (!error.empty()) return failure("sql", error);
    bool force = false;
    std::erase_if(args, [&force](const std::string& arg) {
        if (arg != "--force") return false;
        force = true;
        return true;
    });
    if (args.size() != 2) return failure("sql", "expected SOURCE STATEMENT (try --help)");
    try {
        const foxpro::TextLocale locale = localeFromEnvironment();
        const std::string& sql = args[1];
        // Parsed first, so that a statement outside the dialect is refused
        // before the source is even opened.
        const foxpro::Statement statement = foxpro::parseStatement(sql);
        foxpro::Connection connection;
        openSource(connection, args[0], codePage);
        connection.setReplaceTables(force);
        const auto* select = std::get_if<foxpro::SelectStatement>(&statement);
        if (select && select->count) {
            writeCsvRow(stdout, {"cnt"});
            writeCsvRow(stdout, {foxpro::textForm(connection.execute(sql), locale)});
        } else if (select && !select->intoTable) {
            printRows(connection, sql, locale, "sql");
        } else {
            connection.execute(sql);
        }
        if (std::fflush(stdout) != 0) return failure("sql", "cannot write to standard output");
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("sql", e.description());
    }
}

const VerbRegistration kRegistration{{"sql", "run one SQL statement on a source", run}};

}  // namespace

}  // namespace quorvel::cli
