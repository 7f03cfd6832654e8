#include "wizard/summary_model.h"

#include <algorithm>
#include <exception>

#include "compare/difference_line.h"
#include "data/foxpro_source.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/file_names.h"
#include "frame/app_info.h"
#include "frame/busy.h"
#include "frame/error_trap.h"
#include "results/source_merge.h"
#include "results/text_report.h"
#include "wizard/options_model.h"
#include "wizard/run_context.h"

namespace quorvel::wizard {

namespace {

const char* statusText(compare::TableStatus status) {
    switch (status) {
        case compare::TableStatus::Identical:
            return "Identical";
        case compare::TableStatus::Different:
            return "Different";
        case compare::TableStatus::OnlyInSource1:
            return "Only in source #1";
        case compare::TableStatus::OnlyInSource2:
            return "Only in source #2";
        case compare::TableStatus::Failed:
            return "Could not be compared";
    }
    return "";
}

std::string pairingText(const compare::TableComparison& t) {
    return t.compared() ? compare::pairedBy(t.pairing) : "";
}

using MergeStatus = results::TableMergeOutcome::Status;

// What did not go into the copy, one line each.
std::vector<std::string> mergeFailures(const results::SourceMergeOutcome& outcome) {
    std::vector<std::string> lines;
    for (const auto& t : outcome.tables) {
        if (t.status == MergeStatus::Failed)
            lines.push_back(t.name + ": copied unchanged: " + t.message);
        else if (t.linesFailed > 0)
            lines.push_back(t.name + ": " + std::to_string(t.linesFailed) +
                            (t.linesFailed == 1 ? " difference" : " differences") + " not applied");
    }
    return lines;
}

std::string mergeOutcomeText(const results::SourceMergeOutcome& outcome,
                             const std::string& folder) {
    if (outcome.stopped) return "Stopped: " + folder + " was not made.";
    if (!outcome.made) return "The merged copy was not made: " + outcome.failure;
    int merged = 0;
    for (const auto& t : outcome.tables) merged += t.status == MergeStatus::Merged ? 1 : 0;
    std::string text = "The merged copy was made in " + folder + ": " +
                       std::to_string(outcome.tables.size()) + " tables, " +
                       std::to_string(merged) + " merged.";
    const std::vector<std::string> failures = mergeFailures(outcome);
    if (!failures.empty()) {
        text += "\r\n\r\nNot everything could be applied:";
        for (const auto& line : failures) text += "\r\n" + line;
    }
    return text;
}

// Where the dialog opens: beside source #1, named after it.
std::string suggestedCopyName(const data::SourceDescriptor& source) {
    const std::string path = source.dataPath();
    if (path.empty()) return "";
    const std::string folder = source.optionDBC ? foxpro::parentFolder(path) : path;
    std::string name = source.optionDBC ? foxpro::fileNameOf(path) : foxpro::fileNameOf(folder);
    if (const auto dot = name.rfind('.'); source.optionDBC && dot != std::string::npos)
        name.resize(dot);
    if (name.empty()) return "";
    return foxpro::joinPath(foxpro::parentFolder(folder), name + "-merged");
}

}  // namespace

SummaryModel::SummaryModel(RunModel& run, frame::Dialogs& dialogs, const foxpro::TextLocale& locale,
                           frame::SettingsStore& store)
    : run_(run), dialogs_(dialogs), locale_(locale), store_(store) {}

const char* SummaryModel::columnTitle(int column) {
    switch (column) {
        case Name:
            return "Table";
        case Pairing:
            return "Paired by";
        case Changed:
            return "Changed";
        case Added:
            return "Added";
        case Deleted:
            return "Deleted";
        case Status:
            return "Status";
        default:
            return "";
    }
}

const compare::TableComparison& SummaryModel::table(int row) const {
    return tables_[order_.at(static_cast<std::size_t>(row))];
}

std::string SummaryModel::cell(int row, int column) const {
    const compare::TableComparison& t = table(row);
    const auto number = [&](std::size_t n) { return t.compared() ? std::to_string(n) : ""; };
    switch (column) {
        case Name:
            return t.name;
        case Pairing:
            return pairingText(t);
        case Changed:
            return number(t.changed);
        case Added:
            return number(t.added);
        case Deleted:
            return number(t.deleted);
        case Status:
            return t.status == compare::TableStatus::Failed
                       ? std::string(statusText(t.status)) + ": " + t.message
                       : statusText(t.status);
        default:
            return "";
    }
}

void SummaryModel::resort() {
    order_.resize(tables_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = i;
    const auto key = [&](std::size_t i, int column) -> long long {
        const compare::TableComparison& t = tables_[i];
        // Not compared sorts before zero, as "nothing to count".
        if (!t.compared()) return -1;
        return static_cast<long long>(column == Changed ? t.changed
                                      : column == Added ? t.added
                                                        : t.deleted);
    };
    const auto less = [&](std::size_t a, std::size_t b) {
        const compare::TableComparison& ta = tables_[a];
        const compare::TableComparison& tb = tables_[b];
        switch (sortColumn_) {
            case Name:
                return foxpro::lowerAscii(ta.name) < foxpro::lowerAscii(tb.name);
            case Pairing:
                return pairingText(ta) < pairingText(tb);
            case Changed:
            case Added:
            case Deleted:
                return key(a, sortColumn_) < key(b, sortColumn_);
            case Status:
                return static_cast<int>(ta.status) < static_cast<int>(tb.status);
            default:
                // Tables with differences first, each group in source order.
                return ta.differs() && !tb.differs();
        }
    };
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
        return ascending_ ? less(a, b) : less(b, a);
    });
    if (view.rowsChanged) view.rowsChanged();
}

void SummaryModel::sortBy(int column) {
    if (column < 0 || column >= ColumnCount) return;
    ascending_ = column == sortColumn_ ? !ascending_ : true;
    sortColumn_ = column;
    resort();
}

void SummaryModel::setProgress(int value, const std::string& text) {
    if (view.setProgress) view.setProgress(value, text);
}

void SummaryModel::showStatus() {
    if (!view.setStatusText) return;
    std::size_t differing = 0, failed = 0;
    for (const auto& t : tables_) {
        differing += t.differs() && t.status != compare::TableStatus::Failed;
        failed += t.status == compare::TableStatus::Failed;
    }
    std::string text = std::to_string(tables_.size()) +
                       (running_ ? " tables so far, " : " tables, ") + std::to_string(differing) +
                       " with differences";
    if (failed) text += ", " + std::to_string(failed) + " could not be compared";
    if (stopped_) text += "; stopped before the last table";
    view.setStatusText(text);
}

void SummaryModel::Form_Load() {
    frame::ErrorTrap trap(dialogs_, "Summary.Form_Load");
    trap.step([&] {
        if (view.setUp) view.setUp();
    });
}

compare::CompareOptions SummaryModel::savedOptions(const std::string& table1,
                                                   const std::string& table2) const {
    compare::CompareOptions options = OptionsModel::saved(store_, table1, table2);
    if (!options.ignoredFields.empty()) {
        try {
            OptionsModel::forgetMissingFields(options, compare::tableFieldNames(source1_, table1));
        } catch (const std::exception&) {
            // The comparison tells why the table cannot be read.
        }
    }
    return options;
}

void SummaryModel::beginRun() {
    stopRequested_ = false;
    running_ = true;
    if (view.setRunning) view.setRunning(true);
    dialogs_.setPointer(frame::Pointer::Hourglass);
}

void SummaryModel::endRun(bool stopped) {
    running_ = false;
    if (ending()) return;
    if (view.setRunning) view.setRunning(false);
    dialogs_.setPointer(frame::Pointer::Default);
    setProgress(stopped ? 0 : 100, stopped ? "Stopped" : "Done");
}

bool SummaryModel::runTables(const std::vector<std::string>& only, bool keepDifferences,
                             const std::function<void(const compare::TableComparison&,
                                                      compare::CompareResult*)>& tableDone) {
    compare::SourceComparisonRequest request;
    request.source1 = source1_;
    request.source2 = source2_;
    request.codePage = source1_.codePage;
    request.locale = locale_;
    request.pairing.by = by_;
    request.keepDifferences = keepDifferences;
    request.only = only;
    compare::CompareOptions asked;
    request.optionsFor = [&](const std::string& table1, const std::string& table2) {
        asked = savedOptions(table1, table2);
        return asked;
    };
    std::string current;
    std::size_t index = 0, count = 0;
    const auto tableText = [&] {
        return current + ": table " + std::to_string(index) + " of " + std::to_string(count);
    };
    compare::SourceComparisonCallbacks callbacks;
    callbacks.tableStarted = [&](std::size_t i, std::size_t n, const std::string& name) {
        current = name;
        index = i;
        count = n;
        setProgress(static_cast<int>((i - 1) * 100 / n), tableText());
    };
    callbacks.walk.progress = [&](int value, const std::string&) {
        if (count == 0) return;
        setProgress(static_cast<int>(((index - 1) * 100 + static_cast<std::size_t>(value)) / count),
                    tableText());
    };
    callbacks.walk.processEvents = view.processEvents;
    callbacks.stopRequested = [this] { return stopRequested_ || ending(); };
    callbacks.tableDone = [&](const compare::TableComparison& t, compare::CompareResult* result) {
        const compare::CompareOptions options =
            result != nullptr ? asked : compare::CompareOptions{};
        std::size_t i = 0;
        while (i < tables_.size() && !foxpro::equalsNoCase(tables_[i].name, t.name)) ++i;
        if (i == tables_.size()) {
            tables_.push_back(t);
            options_.push_back(options);
        } else {
            tables_[i] = t;
            options_[i] = options;
        }
        if (tableDone) tableDone(t, result);
        resort();
        showStatus();
        if (view.processEvents) view.processEvents();
    };

    beginRun();
    compare::SourceComparison outcome;
    bool listed = false;
    std::exception_ptr failure;
    try {
        outcome = compare::compareSources(request, callbacks);
        listed = true;
    } catch (const foxpro::FoxProError& e) {
        dialogs_.message(e.description(), frame::MessageButtons::Ok,
                         frame::MessageIcon::Exclamation, frame::SetApplicationTitle());
    } catch (...) {
        // The caller's to report (a report that could not be written).
        failure = std::current_exception();
    }
    endRun(outcome.stopped);
    if (!ending()) showStatus();
    if (failure) std::rethrow_exception(failure);
    return listed && !outcome.stopped && !ending();
}

void SummaryModel::compareAll(compare::Pairing by) {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Summary.compareAll");
    trap.step([&] {
        // Copies: the start window stays live during the run.
        source1_ = run_.source(1);
        source2_ = run_.source(2);
        // Position or ticked key fields are one pair's choices; over many
        // tables each pairs by its own key unless content pairing was asked.
        by_ = by == compare::Pairing::Content ? by : compare::Pairing::Auto;
        tables_.clear();
        options_.clear();
        sortColumn_ = -1;
        ascending_ = true;
        stopped_ = false;
        resort();
        if (view.setSourcesText)
            view.setSourcesText("Source #1: " + sourceText(source1_) +
                                "; Source #2: " + sourceText(source2_));
        if (view.setStatusText) view.setStatusText("Comparing...");
    });
    trap.step([&] {
        // Counts only: the rows hold no differences.
        const bool whole = runTables({}, false, {});
        if (ending()) return;
        stopped_ = !whole && stopRequested_;
        showStatus();
    });
}

void SummaryModel::Stop_Click() {
    if (running_) stopRequested_ = true;
}

void SummaryModel::PushButton2_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Summary.PushButton2_Click");
    trap.step([&] {
        if (view.showTableChoice) view.showTableChoice();
        if (view.hide) view.hide();
    });
}

void SummaryModel::openRow(int row) {
    if (run_.busy.active() || row < 0 || static_cast<std::size_t>(row) >= order_.size()) return;
    frame::BusyGuard busy(run_.busy);
    frame::ErrorTrap trap(dialogs_, "Summary.openRow");
    const std::string title = frame::SetApplicationTitle();
    const std::string name = table(row).name;
    const auto says = [&](const compare::TableComparison& t) {
        if (t.status == compare::TableStatus::Identical)
            dialogs_.message(
                "No differences between the two tables were found. The tables "
                "appear to be identical.",
                frame::MessageButtons::Ok, frame::MessageIcon::None, title);
        else
            dialogs_.message(compare::tableHeaderLine(t), frame::MessageButtons::Ok,
                             frame::MessageIcon::None, title);
    };
    if (table(row).status != compare::TableStatus::Different) {
        says(table(row));
        return;
    }
    compare::CompareResult found;
    bool different = false;
    trap.step([&] {
        runTables({name}, true,
                  [&](const compare::TableComparison& t, compare::CompareResult* result) {
                      if (result == nullptr || t.status != compare::TableStatus::Different) return;
                      found = std::move(*result);
                      different = true;
                  });
    });
    if (ending()) return;
    std::size_t i = 0;
    while (i < tables_.size() && tables_[i].name != name) ++i;
    if (!different) {
        // Changed since the summary was made, or stopped.
        if (i < tables_.size() && !stopRequested_) says(tables_[i]);
        return;
    }
    trap.step([&] {
        const compare::TableComparison& t = tables_[i];
        // The results window shows the run's tables and lists.
        run_.source(1) = source1_;
        run_.source(2) = source2_;
        run_.Table1Name = t.name;
        run_.Table2Name = t.name2;
        run_.pairing = found.pairing;
        run_.options = options_[i];
        run_.fromSummary = true;
        run_.showDifferences(std::move(found.differences), view.processEvents);
        run_.structure = std::move(found.structure);
    });
    trap.step([&] {
        if (view.showResults) view.showResults();
        if (view.hide) view.hide();
    });
}

void SummaryModel::PushButton4_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Summary.PushButton4_Click");
    std::string fileName;
    trap.step([&] {
        frame::FileDialogRequest request;
        request.title = "Save Summary Report As";
        request.fileName = "";
        request.filter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";
        fileName = dialogs_.saveFileName(request);
    });
    if (fileName.empty()) return;
    // The report never goes over a file of the compared tables.
    std::vector<std::string> sourceFiles;
    const bool known = trap.step([&] {
        for (const auto& t : tables_) {
            if (t.status != compare::TableStatus::OnlyInSource2)
                for (auto& file : data::SourceTableFiles(source1_, t.name))
                    sourceFiles.push_back(std::move(file));
            if (t.status != compare::TableStatus::OnlyInSource1)
                for (auto& file :
                     data::SourceTableFiles(source2_, t.name2.empty() ? t.name : t.name2))
                    sourceFiles.push_back(std::move(file));
        }
    });
    if (!known) return;
    trap.step([&] {
        // Written table by table, each table's lines as its walk ends; a
        // stop or failure on the way leaves no file.
        results::TextReportFile file(fileName, sourceFiles);
        const bool whole = runTables(
            {}, true, [&](const compare::TableComparison& t, compare::CompareResult* result) {
                file.write(results::textFileBytes(compare::tableHeaderLine(t) + "\r\n"));
                if (result == nullptr || !t.compared()) return;
                for (const compare::Difference d : result->differences)
                    file.write(results::textFileBytes(compare::lineText(d) + "\r\n"));
            });
        if (whole) file.commit();
        if (!whole && !ending() && view.setStatusText)
            view.setStatusText("Stopped: the report was not saved");
    });
    trap.step([&] { dialogs_.setPointer(frame::Pointer::Default); });
}

void SummaryModel::PushButton6_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Summary.PushButton6_Click");
    std::string folder;
    trap.step([&] {
        frame::FileDialogRequest request;
        request.title = "Create Merged Copy In (a New Folder)";
        request.fileName = suggestedCopyName(source1_);
        request.filter = "Folders|*|";
        folder = dialogs_.saveFileName(request);
    });
    if (folder.empty()) return;
    trap.step([&] {
        results::SourceMergeRequest request;
        request.source1 = source1_;
        request.source2 = source2_;
        request.intoFolder = folder;
        request.pairing.by = by_;
        request.optionsFor = [this](const std::string& table1, const std::string& table2) {
            return savedOptions(table1, table2);
        };
        request.locale = locale_;
        results::SourceMergeCallbacks callbacks;
        callbacks.progress = [this](int index, int count, const std::string& table) {
            if (count > 0)
                setProgress((index - 1) * 100 / count, table + ": table " + std::to_string(index) +
                                                           " of " + std::to_string(count));
        };
        callbacks.stopRequested = [this] { return stopRequested_ || ending(); };
        callbacks.processEvents = view.processEvents;
        beginRun();
        results::SourceMergeOutcome outcome;
        try {
            outcome = results::MergeSources(request, callbacks);
        } catch (...) {
            endRun(true);
            throw;
        }
        endRun(outcome.stopped);
        if (ending()) return;
        if (view.setStatusText)
            view.setStatusText(outcome.made      ? "Merged copy made in " + folder
                               : outcome.stopped ? "Stopped: the merged copy was not made"
                                                 : "The merged copy was not made");
        const bool fine = outcome.made && !outcome.someFailed();
        dialogs_.message(
            mergeOutcomeText(outcome, folder), frame::MessageButtons::Ok,
            fine || outcome.stopped ? frame::MessageIcon::None : frame::MessageIcon::Exclamation,
            frame::SetApplicationTitle());
    });
}

}  // namespace quorvel::wizard
