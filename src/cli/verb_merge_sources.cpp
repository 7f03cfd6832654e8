// quorvel-cli merge SOURCE1 SOURCE2 --into FOLDER: whole sources merged
// into a complete new copy of source #1.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/merge_sources.h"
#include "compare/compare.h"
#include "foxpro/platform/stop_request.h"
#include "results/source_merge.h"

namespace quorvel::cli {

namespace {

using Status = results::TableMergeOutcome::Status;

std::string pairedBy(const compare::RecordPairing& pairing) {
    std::string text = compare::pairingDescription(pairing);
    text.erase(0, std::string("Records paired by ").size());
    if (const auto note = text.find(" ("); note != std::string::npos) text.resize(note);
    return text;
}

std::string tableLine(const results::TableMergeOutcome& t) {
    const std::string quoted = "Table \"" + t.name + "\"";
    switch (t.status) {
        case Status::Identical:
            return quoted + ": identical, copied";
        case Status::Merged:
            return quoted + ": merged, " + std::to_string(t.fieldsUpdated) + " fields updated, " +
                   std::to_string(t.recordsAdded) + " records added, " +
                   std::to_string(t.linesFailed) + " failed (paired by " + pairedBy(t.pairing) +
                   ")";
        case Status::Failed:
            return quoted + ": failed, copied unchanged: " + t.message;
        case Status::NotCompared:
            return quoted + ": not compared, copied";
        case Status::OnlyInSource1:
            return quoted + " is only in source #1: copied";
        case Status::AddedAsFree:
            return quoted + " is only in source #2: copied as a free table";
        case Status::LeftOut:
            return quoted + " is only in source #2: left out (--add-new-tables copies it)";
    }
    return quoted;
}

}  // namespace

int runMergeSources(const Arguments& args) {
    const std::string into = args.value("into");
    if (into.empty()) throw UsageError("SOURCE1 SOURCE2 needs --into FOLDER");
    for (const char* single : {"force", "index-script"})
        if (args.has(single))
            throw UsageError(std::string("--") + single + " goes with two tables only");
    const int codePage = codePageOf(args);
    results::SourceMergeRequest request;
    request.pairing = pairingOf(args);
    // Whole sources pair each table by its own key unless told otherwise.
    if (!args.has(keyOption().name) && !args.has(alignOption().name))
        request.pairing.by = compare::Pairing::Auto;
    request.options = compareOptionsOf(args);
    request.fieldChanges = !args.has("added-only");
    request.addedRecords = !args.has("changes-only");
    if (!request.fieldChanges && !request.addedRecords)
        throw UsageError("--changes-only and --added-only exclude each other");
    request.onlyTables = namesListed(args, "tables");
    request.excludedTables = namesListed(args, "exclude");
    request.addNewTables = args.has("add-new-tables");
    request.source1 = sourceOf(args.operands[0], codePage);
    request.source2 = sourceOf(args.operands[1], codePage);
    request.intoFolder = into;
    request.locale = localeFromEnvironment();

    results::SourceMergeCallbacks callbacks;
    callbacks.stopRequested = [] { return foxpro::platform::StopRequests::requested(); };
    callbacks.tableDone = [](const results::TableMergeOutcome& t) {
        std::printf("%s\n", tableLine(t).c_str());
        for (const auto& line : t.failures) printMessage("merge", t.name + ": " + line);
        for (const auto& note : t.notes) warn("merge", note);
        std::fflush(stdout);
    };
    results::SourceMergeOutcome outcome;
    {
        foxpro::platform::StopRequests stopRequests;
        outcome = results::MergeSources(request, callbacks);
    }
    if (outcome.stopped) return failure("merge", "stopped; " + into + " was not made");
    if (!outcome.made) return failure("merge", outcome.failure + "; nothing was made");
    int merged = 0, failed = 0;
    for (const auto& t : outcome.tables) {
        merged += t.status == Status::Merged ? 1 : 0;
        failed += t.status == Status::Failed ? 1 : 0;
    }
    std::printf("%s: %zu tables, %d merged, %d failed\n", into.c_str(), outcome.tables.size(),
                merged, failed);
    if (outcome.someFailed()) {
        for (const auto& t : outcome.tables)
            if (t.status == Status::Failed || t.linesFailed > 0)
                printMessage("merge", "not all applied: table " + t.name);
        return 1;
    }
    return 0;
}

}  // namespace quorvel::cli
