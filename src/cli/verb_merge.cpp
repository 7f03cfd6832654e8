// quorvel-cli merge: compare two tables and build the new table from
// Table #1 plus the differences, as Form4's "Create" does with every line
// ticked (or only one of the two lists).

#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_common.h"
#include "cli/merge_sources.h"
#include "cli/verbs.h"
#include "compare/compare.h"
#include "data/source_descriptor.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/platform/stop_request.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"
#include "results/merge.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Compares TABLE1 of SOURCE1 with TABLE2 of SOURCE2 and creates NEWNAME in\n"
    "SOURCE1's folder: a copy of TABLE1 with TABLE2's changed field values and added\n"
    "records applied: a changed field of a pair takes TABLE2's value into the\n"
    "pair's record of TABLE1, an added record is TABLE2's record.\n"
    "A SOURCE is a folder of free tables or a .dbc container.\n"
    "NEWNAME keeps TABLE1's code page; text of TABLE2 is converted into it, and a\n"
    "value it cannot hold fails its difference.  NEWNAME appears only when the merge\n"
    "is complete; Ctrl-C stops it without a table.\n"
    "\n"
    "With two operands, SOURCE1 SOURCE2 --into FOLDER: FOLDER, which must not exist,\n"
    "becomes a complete copy of SOURCE1 (every table with its memo file, index and\n"
    ".cpg; a container's .dbc, .dct and .dcx).  Each table that differs from\n"
    "SOURCE2's table of the same name (without case; --key auto unless --key or\n"
    "--align says otherwise) is replaced by its merge under its own name: it keeps\n"
    "its header, so its long field names, keys and relations in the container stay,\n"
    "and its index is rebuilt from the final records with the same tags.  A line per\n"
    "table says what became of it.  Tables only in SOURCE2 are left out, or copied as\n"
    "free tables with --add-new-tables.  The copy is built in a hidden folder beside\n"
    "FOLDER and renamed to FOLDER at the end: a stop or a failure leaves no FOLDER.\n";

constexpr const char* kDetails =
    "Exit status: 0 table (or FOLDER) made and every difference applied, 1 made\n"
    "but some differences or tables failed (listed), 2 nothing made (or a usage\n"
    "error).\n";

// Error reports go to standard error as their first line (the failure
// itself); the rest of the report text is meant for a window.  The
// comparison's reports are held back: a comparison that fails is told in
// one line, one that goes on has them printed after it.  While the merge
// runs its failures are printed with their line instead.
class CliDialogs : public frame::Dialogs {
  public:
    bool quiet = false;
    bool holdBack = false;
    std::vector<std::string> heldBack;

    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string& /*caption*/) override {
        const std::string first = text.substr(0, text.find("\r\n"));
        if (holdBack)
            heldBack.push_back(first);
        else if (!quiet && icon == frame::MessageIcon::Exclamation)
            printMessage("merge", first);
        return buttons == frame::MessageButtons::Ok ? frame::Answer::Ok : frame::Answer::No;
    }
};

int runMerge(const Arguments& args) {
    if (args.operands.size() == 2) return runMergeSources(args);
    if (args.operands.size() != 5)
        throw UsageError(
            "expected SOURCE1 TABLE1 SOURCE2 TABLE2 NEWNAME or SOURCE1 SOURCE2 --into FOLDER");
    for (const char* whole : {"into", "tables", "exclude", "add-new-tables"})
        if (args.has(whole))
            throw UsageError(std::string("--") + whole + " goes with SOURCE1 SOURCE2 only");
    const int codePage = codePageOf(args);
    const compare::RecordPairing pairing = pairingOf(args);
    const compare::CompareOptions options = compareOptionsOf(args);
    const bool fieldChanges = !args.has("added-only");
    const bool addedRecords = !args.has("changes-only");
    if (!fieldChanges && !addedRecords)
        throw UsageError("--changes-only and --added-only exclude each other");
    const std::vector<std::string>& positional = args.operands;

    results::MergeRequest request;
    request.source1 = sourceOf(positional[0], codePage);
    request.Table1Name = positional[1];
    request.source2 = sourceOf(positional[2], codePage);
    request.Table2Name = positional[3];
    warnAboutTable("merge", data::connectionString(request.source1), request.Table1Name);
    warnAboutTable("merge", data::connectionString(request.source2), request.Table2Name);
    request.newTableName = positional[4];
    request.replaceExisting = args.has("force");
    request.indexScript = args.has("index-script");
    // Refused before the comparison, which may take long; the merge checks
    // again when it creates the table.  A source table is never replaced,
    // whatever --force says.
    if (const std::string refusal = results::NewTableNameRefusal(request); !refusal.empty())
        return failure("merge", refusal);
    if (!request.replaceExisting) {
        // A table is named by its .dbf (which comes first); lone files of
        // its set (a memo file, an index, a .cpg) each by its name.
        const std::vector<std::string> existing = results::ExistingNewTableFiles(request);
        if (existing.size() == 1 ||
            (!existing.empty() && foxpro::lowerAscii(existing.front()).ends_with(".dbf")))
            return failure("merge", existing.front() + " exists; --force replaces it");
        if (!existing.empty()) {
            std::string names;
            for (const auto& path : existing) names += (names.empty() ? "" : ", ") + path;
            return failure("merge", names + " exist; --force replaces them");
        }
    }

    CliDialogs dialogs;
    dialogs.holdBack = true;
    const compare::CompareResult differences =
        compare::Compare(request.source1, request.source2, request.Table1Name, request.Table2Name,
                         foxpro::TextLocale::fromEnvironment(), dialogs, {}, pairing, options);
    if (!differences.completed()) {
        return failure("merge", "could not compare: " + differences.failure);
    }
    dialogs.holdBack = false;
    for (const auto& report : dialogs.heldBack) warn("merge", report);
    if (pairing.by == compare::Pairing::Auto)
        printMessage("merge", compare::pairingDescription(differences.pairing));
    for (const auto& w : differences.warnings) warnOnce("merge", w);
    for (const auto& duplicate : differences.duplicateKeys)
        warn("merge", compare::duplicateKeyText(duplicate));

    const results::ListOfKind fieldList(differences.differences,
                                        compare::LineList::FieldDifferences, fieldChanges);
    const results::ListOfKind addedList(differences.differences, compare::LineList::AddedDeleted,
                                        addedRecords);

    results::MergeCallbacks callbacks;
    callbacks.failed = [](const std::string& line, const std::string& description) {
        printMessage("merge", line.empty() ? description : line + ": " + description);
    };
    callbacks.stopRequested = [] { return foxpro::platform::StopRequests::requested(); };
    callbacks.warning = [](const std::string& text) { warn("merge", text); };
    dialogs.quiet = true;
    results::MergeOutcome outcome;
    {
        foxpro::platform::StopRequests stopRequests;
        outcome = results::MergeIntoNewTable(request, fieldList, addedList, dialogs, callbacks);
    }
    if (outcome.stopped) {
        return failure("merge", "stopped; " + request.newTableName + " was not made");
    }
    if (!outcome.tableMade) {
        return failure("merge", request.newTableName + " was not made");
    }
    std::printf("%s: %lld fields updated, %lld records added, %lld failed\n",
                request.newTableName.c_str(), static_cast<long long>(outcome.fieldsUpdated),
                static_cast<long long>(outcome.recordsAdded),
                static_cast<long long>(outcome.linesFailed));
    return outcome.linesFailed > 0 ? 1 : 0;
}

const VerbRegistration registration{{
    "merge",
    "compare two tables and build a new table from Table #1 plus the differences",
    "SOURCE1 TABLE1 SOURCE2 TABLE2 NEWNAME | SOURCE1 SOURCE2 --into FOLDER",
    2,
    5,
    {{"changes-only", 0, "", "apply only the changed field values"},
     {"added-only", 0, "", "apply only the added records"},
     {"force", 0, "",
      "replace an existing table named NEWNAME (with its\nmemo file, index and .cpg)"},
     {"index-script", 0, "",
      "write NEWNAME.prg with the commands that rebuild every\ntag of the new table's index"},
     {"into", 0, "FOLDER", "SOURCE1 SOURCE2: the new folder of the merged copy"},
     {"tables", 0, "NAME[,NAME...]", "SOURCE1 SOURCE2: merge only these tables"},
     {"exclude", 0, "NAME[,NAME...]", "SOURCE1 SOURCE2: merge all tables but these"},
     {"add-new-tables", 0, "", "SOURCE1 SOURCE2: copy tables only in SOURCE2 as free\ntables"},
     keyOption(),
     alignOption(),
     ignoreOption(),
     ignoreTrailingBlanksOption(),
     ignoreCaseOption(),
     toleranceOption(),
     encodingOption()},
    kDescription,
    kDetails,
    runMerge,
}};

}  // namespace

}  // namespace quorvel::cli
