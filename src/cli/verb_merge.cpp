// quorvel-cli merge: compare two tables and build the new table from
// Table #1 plus the differences, as Form4's "Create" does with every line
// ticked (or only one of the two lists).

#include <array>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "compare/compare.h"
#include "data/source_descriptor.h"
#include "foxpro/text_locale.h"
#include "frame/dialogs.h"
#include "results/merge.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-cli merge SOURCE1 TABLE1 SOURCE2 TABLE2 NEWNAME [--changes-only | "
    "--added-only] [--encoding NAME] [--force]\n"
    "Compares TABLE1 of SOURCE1 with TABLE2 of SOURCE2 and creates NEWNAME in SOURCE1's folder:\n"
    "a copy of TABLE1 with TABLE2's changed field values and added records applied.\n"
    "  --changes-only  apply only the changed field values\n"
    "  --added-only    apply only the added records\n"
    "  --force         replace an existing table named NEWNAME\n"
    "A SOURCE is a folder of free tables or a .dbc database container.  NEWNAME keeps\n"
    "TABLE1's code page; text of TABLE2 is converted into it, and a value it cannot hold\n"
    "fails its difference.  NEWNAME appears only when the merge is complete; Ctrl-C\n"
    "stops it without a table.\n"
    "Exit status: 0 table made and every difference applied, 1 some differences failed,\n"
    "2 no table made.\n";

// Set by SIGINT, SIGTERM and SIGHUP while the merge runs: it then stops at
// the next line and leaves no table behind.
volatile std::sig_atomic_t gStop = 0;

extern "C" void requestStop(int) {
    gStop = 1;
}

// Stops the merge instead of the process on the usual signals, for as long
// as it lives.
class StopOnSignals {
  public:
    StopOnSignals() {
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~StopOnSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

  private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

// Error reports go to standard error as their first line (the failure
// itself); the rest of the report text is meant for a window.  While the
// merge runs its failures are printed with their line instead.
class CliDialogs : public frame::Dialogs {
  public:
    bool quiet = false;

    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string& /*caption*/) override {
        if (!quiet && icon == frame::MessageIcon::Exclamation)
            std::fprintf(stderr, "quorvel-cli merge: %s\n",
                         text.substr(0, text.find("\r\n")).c_str());
        return buttons == frame::MessageButtons::Ok ? frame::Answer::Ok : frame::Answer::No;
    }
};

int runMerge(std::vector<std::string> args) {
    if (helpRequested(args, kUsage)) return 0;
    std::string encodingError;
    const int codePage = takeEncoding(args, encodingError);
    if (!encodingError.empty()) return failure("merge", encodingError);
    std::vector<std::string> positional;
    bool fieldChanges = true;
    bool addedRecords = true;
    bool force = false;
    for (const auto& arg : args) {
        if (arg == "--changes-only") {
            addedRecords = false;
        } else if (arg == "--added-only") {
            fieldChanges = false;
        } else if (arg == "--force") {
            force = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::fprintf(stderr, "quorvel-cli merge: unknown option '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 5 || (!fieldChanges && !addedRecords)) {
        std::fputs(!fieldChanges && !addedRecords
                       ? "quorvel-cli merge: --changes-only and --added-only exclude each other\n"
                       : "quorvel-cli merge: expected five arguments\n",
                   stderr);
        std::fputs(kUsage, stderr);
        return 2;
    }

    results::MergeRequest request;
    request.source1 = sourceOf(positional[0], codePage);
    request.Table1Name = positional[1];
    request.source2 = sourceOf(positional[2], codePage);
    request.Table2Name = positional[3];
    warnAboutTable("merge", data::connectionString(request.source1), request.Table1Name);
    warnAboutTable("merge", data::connectionString(request.source2), request.Table2Name);
    request.newTableName = positional[4];
    request.replaceExisting = force;
    // Refused before the comparison, which may take long; the merge checks
    // again when it creates the table.
    if (!force) {
        const std::string existing = results::ExistingNewTableFile(request);
        if (!existing.empty()) {
            std::fprintf(stderr, "quorvel-cli merge: %s exists; --force replaces it\n",
                         existing.c_str());
            return 2;
        }
    }

    CliDialogs dialogs;
    const compare::CompareResult differences =
        compare::Compare(request.source1, request.source2, request.Table1Name, request.Table2Name,
                         foxpro::TextLocale::fromEnvironment(), dialogs);
    if (!differences.completed()) {
        std::fprintf(stderr, "quorvel-cli merge: could not compare: %s\n",
                     differences.failure.c_str());
        return 2;
    }
    for (const auto& w : differences.warnings) warnOnce("merge", w);

    const results::ListOfKind fieldList(differences.differences,
                                        compare::LineList::FieldDifferences, fieldChanges);
    const results::ListOfKind addedList(differences.differences, compare::LineList::AddedDeleted,
                                        addedRecords);

    results::MergeCallbacks callbacks;
    callbacks.failed = [](const std::string& line, const std::string& description) {
        if (line.empty())
            std::fprintf(stderr, "quorvel-cli merge: %s\n", description.c_str());
        else
            std::fprintf(stderr, "quorvel-cli merge: %s: %s\n", line.c_str(), description.c_str());
    };
    callbacks.stopRequested = [] { return gStop != 0; };
    dialogs.quiet = true;
    results::MergeOutcome outcome;
    {
        gStop = 0;
        StopOnSignals stopOnSignals;
        outcome = results::MergeIntoNewTable(request, fieldList, addedList, dialogs, callbacks);
    }
    if (outcome.stopped) {
        std::fprintf(stderr, "quorvel-cli merge: stopped; %s was not made\n",
                     request.newTableName.c_str());
        return 2;
    }
    if (!outcome.tableMade) {
        std::fprintf(stderr, "quorvel-cli merge: %s was not made\n", request.newTableName.c_str());
        return 2;
    }
    std::printf("%s: %lld fields updated, %lld records added, %lld failed\n",
                request.newTableName.c_str(), static_cast<long long>(outcome.fieldsUpdated),
                static_cast<long long>(outcome.recordsAdded),
                static_cast<long long>(outcome.linesFailed));
    return outcome.linesFailed > 0 ? 1 : 0;
}

const VerbRegistration registration{
    Verb{"merge", "compare two tables and build a new table from Table #1 plus the differences",
         runMerge}};

}  // namespace

}  // namespace quorvel::cli
