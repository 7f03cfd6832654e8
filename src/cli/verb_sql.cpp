// quorvel-cli sql SOURCE STATEMENT: runs one statement of the table-access
// layer's dialect, the way to script and inspect a table by hand.

#include <cstdio>
#include <variant>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/output_stream.h"
#include "cli/verbs.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/sql.h"
#include "foxpro/text/text_form.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Runs STATEMENT on a connection to SOURCE (a folder of free tables or a .dbc\n"
    "file).  A SELECT prints its rows as CSV like 'show' (C forms unless\n"
    "--localized); any other statement prints nothing.\n"
    "Statements (keywords in any case, names bare or in [brackets]):\n"
    "  SELECT * FROM [t]                      SELECT COUNT(*) FROM [t]\n"
    "  SELECT * FROM [t] WHERE RECNO() = n    SELECT * FROM [t] INTO TABLE [new]\n"
    "  UPDATE [t] SET [f] = value WHERE RECNO() = n\n"
    "  INSERT INTO [t] [([f], ...)] VALUES(value, ...)\n"
    "RECNO() = n is the n-th record, deleted records not counted.  Values: 'text'\n"
    "('' for an apostrophe), numbers (1.5, -2e3), True, False, NULL, {^2020-12-31},\n"
    "{^2020-12-31 13:02:03}, 0hCAFE.  Only the table a statement creates or names as\n"
    "its target is written; text goes in in the code page the table is read in, and\n"
    "what it cannot hold is refused.  INTO TABLE refuses an existing table of the new\n"
    "name, or any file of its set (memo file, index, .cpg), unless --force is given,\n"
    "which replaces them all; a file of the set that is no regular file is never\n"
    "replaced.  --csv-safe as for 'show'.\n";

int run(const Arguments& args) {
    const int codePage = codePageOf(args);
    foxpro::Connection connection;
    // What preparing the folder for a write left alone, whether the
    // statement then succeeded or not.
    auto warnAboutWrite = [&connection] {
        if (connection.isOpen())
            for (const auto& w : connection.source().writeWarnings()) warn("sql", w);
    };
    try {
        const foxpro::TextLocale locale = textLocale(args);
        const std::string& sql = args.operands[1];
        // Parsed first, so that a statement outside the dialect is refused
        // before the source is even opened.
        const foxpro::Statement statement = foxpro::parseStatement(sql);
        openSource(connection, args.operands[0], codePage);
        connection.setReplaceTables(args.has("force"));
        const auto* select = std::get_if<foxpro::SelectStatement>(&statement);
        const bool formulaSafe = args.has(csvSafeOption().name);
        if (select && select->count) {
            const std::string count = foxpro::textForm(connection.execute(sql), locale);
            OutputStream out;
            writeCsvRecord(out, {"cnt"});
            writeCsvRecord(out, {count});
            out.flush();
        } else if (select && !select->intoTable) {
            printRows(connection, sql, locale, "sql", formulaSafe);
        } else {
            connection.execute(sql);
        }
        warnAboutWrite();
        return 0;
    } catch (const foxpro::FoxProError& e) {
        warnAboutWrite();
        return failure("sql", e.description());
    }
}

const VerbRegistration kRegistration{{
    "sql",
    "run one SQL statement on a source",
    "SOURCE STATEMENT",
    2,
    2,
    {localizedOption(),
     csvSafeOption(),
     {"force", 0, "", "let INTO TABLE replace an existing table of the\nnew name"},
     encodingOption()},
    kDescription,
    "Exit status: 0 success, 2 failure.\n",
    run,
}};

}  // namespace

}  // namespace quorvel::cli
