// quorvel-cli show SOURCE TABLE: a table as CSV, values in their text forms.

#include <cstdio>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/side_verbs.h"
#include "cli/verbs.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/sql/connection.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Prints TABLE of SOURCE as CSV (RFC 4180): a header line with the field names,\n"
    "then one line per record (deleted records left out), values in their C forms\n"
    "(1234.5, 2020-12-31, 2020-12-31 13:02:03, True) unless --localized.  Binary\n"
    "values are shown as 0h and hex digits.  --csv-safe marks text that a\n"
    "spreadsheet would run as a formula.\n"
    "In place of SOURCE TABLE a URI names a table of another program:\n"
    "  sqlite:PATH?table=NAME  (sqlite:///abs/path; &immutable=yes)\n"
    "  postgresql://[user@]host[:port]/db?table=[schema.]NAME  (postgres:// too;\n"
    "      what the URI leaves out comes from PG* variables, ~/.pgpass and service\n"
    "      files; a password never goes on the command line)\n"
    "  csv:PATH[?delimiter=;&encoding=cp1252&header=yes&null=TEXT]\n"
    "Its rows are printed as they are stored (BLOBs as 0h and hex digits).\n";

int run(const Arguments& args) {
    if (namesSide(args)) return showSide(args);
    if (args.operands.size() != 2) throw UsageError("missing operand: expected SOURCE TABLE");
    const int codePage = codePageOf(args);
    try {
        const foxpro::TextLocale locale = textLocale(args);
        foxpro::Connection connection;
        openSource(connection, args.operands[0], codePage);
        printRows(connection, "SELECT * FROM [" + args.operands[1] + "]", locale, "show",
                  args.has(csvSafeOption().name));
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("show", e.description());
    }
}

const VerbRegistration kRegistration{{
    "show",
    "print a table as CSV",
    "SOURCE TABLE | SIDE-URI",
    1,
    2,
    {localizedOption(), csvSafeOption(), encodingOption()},
    kDescription,
    "Exit status: 0 success, 2 failure.\n",
    run,
}};

}  // namespace

}  // namespace quorvel::cli
