// quorvel-cli show SOURCE TABLE: a table as CSV, values in their text forms.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/output_stream.h"
#include "cli/revision_memo.h"
#include "cli/scratch_folder.h"
#include "cli/side_verbs.h"
#include "cli/table_operands.h"
#include "cli/table_text_form.h"
#include "cli/verbs.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
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
    "Its rows are printed as they are stored (BLOBs as 0h and hex digits).\n"
    "\n"
    "--textconv FILE (or SOURCE TABLE) prints instead a text form that stays the\n"
    "same for the same bytes, for git's textconv (git log -p, git blame): a line\n"
    "'# code page 1252; ID I | NAME C(30) | NOTE M null', then one line per stored\n"
    "record, '* ' before a deleted one and two blanks before the others, values in\n"
    "their C forms split by ' | ', with \\\\ \\n \\r \\t \\0 and \\| for a backslash,\n"
    "line feed, carriage return, tab, NUL and '|' in them.  A null is \\NULL; a memo\n"
    "whose memo file is missing or cannot be read is \\(memo not available), never\n"
    "empty, with a warning.  A .dbc named alone is read as the table it is.\n"
    "git hands textconv a lone copy of a committed table under its file name: when\n"
    "no memo file lies beside FILE and the current folder is in a git repository,\n"
    "git is asked for the memo file as git-diff asks, for each path of that file\n"
    "name in the index and HEAD; it is used only when all that hold these table\n"
    "bytes agree on it.\n";

int runTextForm(const Arguments& args) {
    if (args.has(csvSafeOption().name) || args.has(localizedOption().name))
        throw UsageError("--textconv takes neither --csv-safe nor --localized");
    const int codePage = codePageOf(args);
    try {
        // A table file (its operand split into folder and name) is read as
        // it stands, whatever its name: git hands over temporary files.
        const std::string file = args.operands.size() == 1
                                     ? args.operands[0]
                                     : foxpro::joinPath(args.operands[0], args.operands[1]);
        std::unique_ptr<foxpro::TableReader> table;
        if (args.operands.size() == 1 || isTableFile(file)) {
            table =
                std::make_unique<foxpro::TableReader>(file, std::vector<std::string>{}, codePage);
        } else {
            table =
                foxpro::DataSource::open(args.operands[0], codePage)->openTable(args.operands[1]);
        }
        // Kept until the end: the copy read below lies in it.
        std::optional<ScratchFolder> scratch;
        if (table->layout().hasMemo() && table->memoPath().empty() && isTableFile(file)) {
            scratch.emplace();
            const std::string name = foxpro::fileNameOf(file);
            const RevisionMemo memo = findCopyMemo(file, memoNameOf(*table, name), scratch->path());
            if (memo.known) {
                const std::string copy = foxpro::joinPath(scratch->path(), name);
                std::filesystem::copy_file(file, copy);
                writeWholeFile(foxpro::joinPath(scratch->path(), memo.name), memo.bytes);
                table = std::make_unique<foxpro::TableReader>(copy, std::vector<std::string>{},
                                                              codePage);
            }
        }
        warnAboutTable("show", *table);
        OutputStream out;
        const std::vector<std::string> notes = writeTableTextForm(out, *table);
        out.flush();
        for (const auto& note : notes) warn("show", note + ": memo values marked as not available");
        return 0;
    } catch (const foxpro::FoxProError& e) {
        return failure("show", e.description());
    } catch (const std::exception& e) {
        return failure("show", e.what());
    }
}

int run(const Arguments& args) {
    if (args.has("textconv")) return runTextForm(args);
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
    "SOURCE TABLE | SIDE-URI | --textconv FILE",
    1,
    2,
    {localizedOption(),
     csvSafeOption(),
     encodingOption(),
     {"textconv", 0, "", "a stable text form for git: see above"}},
    kDescription,
    "Exit status: 0 success, 2 failure.\n",
    run,
}};

}  // namespace

}  // namespace quorvel::cli
