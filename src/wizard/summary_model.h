#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "compare/source_comparison.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"
#include "frame/settings_store.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// What the summary window does for its model.  Every member may be left
// empty; the model then skips that effect.
struct SummaryView {
    std::function<void()> setUp;            // load: pointer, caption, colours, icon
    std::function<void()> showTableChoice;  // "< Back"
    std::function<void()> showResults;      // a row opened: the results window
    std::function<void()> hide;
    // The rows changed (a table done, sorted anew, a run begun).
    std::function<void()> rowsChanged;
    // The progress bar: value 0..100 and its text.
    std::function<void(int value, const std::string& text)> setProgress;
    // While true the Stop button shows and the others ignore presses.
    std::function<void(bool running)> setRunning;
    // Which sources are compared and the outcome in one line.
    std::function<void(const std::string& text)> setSourcesText;
    std::function<void(const std::string& text)> setStatusText;
    std::function<void()> processEvents;
    std::function<bool()> ending;
};

// The summary window's logic: every table of source #1 against the table
// of source #2 of the same name, one row each; a row opens the results
// window for that pair, and the whole run saves as one report.
class SummaryModel {
  public:
    enum Column { Name, Pairing, Changed, Added, Deleted, Status, ColumnCount };

    // The store gives each pair of tables its saved options.
    SummaryModel(RunModel& run, frame::Dialogs& dialogs, const foxpro::TextLocale& locale,
                 frame::SettingsStore& store);
    SummaryModel(const SummaryModel&) = delete;
    SummaryModel& operator=(const SummaryModel&) = delete;

    SummaryView view;

    void Form_Load();
    // "Compare All Tables": compares the run's two sources, every table
    // paired by content when that is asked for, else by its own key.
    // Ignored while busy.
    void compareAll(compare::Pairing by);
    // "< Back": the table choice; ignored while busy.
    void PushButton2_Click();
    // Double-click or Enter on a row: the results window for that pair of
    // tables, whose "< Back" comes back here.  The summary keeps counts
    // only, so the pair is compared again (as the row says: its pairing and
    // options) and the row follows what that finds.  A table that was not
    // compared (in one source only, failed) or is identical says so
    // instead.  Ignored while busy.
    void openRow(int row);
    // "Save Summary Report": the whole-source report, each table's header
    // line and then its lines, as the tables are compared once more (one
    // table's differences in memory at a time); the rows follow that run.
    // Stop leaves no file.  Ignored while busy.
    void PushButton4_Click();
    // "Create Merged Copy...": asks for a folder that does not exist yet and
    // makes there a complete copy of source #1 in which every table that
    // differs takes its differences from source #2 (MergeSources), each
    // table paired as this summary paired it and compared under its saved
    // options.  Progress and Stop as for the comparison; a stop or failure
    // leaves no folder.  The outcome (made, what failed, nothing made) in a
    // message.  Ignored while busy.
    void PushButton6_Click();
    // "Stop": ends the run before the next table (or at the walk's next
    // event pace), the tables done so far staying listed.
    void Stop_Click();
    // A column header: sorts by that column, again the other way.
    void sortBy(int column);

    std::size_t rowCount() const { return order_.size(); }
    // The cell text of a row (in the shown order).
    std::string cell(int row, int column) const;
    const compare::TableComparison& table(int row) const;
    int sortColumn() const { return sortColumn_; }  // -1: differences first
    bool ascending() const { return ascending_; }
    bool running() const { return running_; }
    bool stopped() const { return stopped_; }

    // The two sources this summary compared, and its tables.
    const data::SourceDescriptor& source(int n) const { return n == 1 ? source1_ : source2_; }
    const std::vector<compare::TableComparison>& tables() const { return tables_; }

    static const char* columnTitle(int column);

  private:
    // One run over the sources (every table, or the table names in `only`),
    // its rows replacing those of the tables it compared; tableDone also
    // sees each walk's result.  False when the sources could not be listed.
    bool runTables(const std::vector<std::string>& only, bool keepDifferences,
                   const std::function<void(const compare::TableComparison&,
                                            compare::CompareResult*)>& tableDone);
    // The options saved for a pair of tables, less ignored fields that
    // table1 no longer has.
    compare::CompareOptions savedOptions(const std::string& table1,
                                         const std::string& table2) const;
    // The running state: Stop shown, the hourglass; its end the final
    // progress text.
    void beginRun();
    void endRun(bool stopped);
    void setProgress(int value, const std::string& text);
    void resort();
    void showStatus();
    bool ending() const { return view.ending && view.ending(); }

    RunModel& run_;
    frame::Dialogs& dialogs_;
    const foxpro::TextLocale& locale_;
    frame::SettingsStore& store_;
    data::SourceDescriptor source1_;
    data::SourceDescriptor source2_;
    compare::Pairing by_ = compare::Pairing::Auto;
    // In source order, options_[i] the options tables_[i] was compared under.
    std::vector<compare::TableComparison> tables_;
    std::vector<compare::CompareOptions> options_;
    std::vector<std::size_t> order_;  // rows as shown: indexes into tables_
    int sortColumn_ = -1;             // -1: differences first, then source order
    bool ascending_ = true;
    bool running_ = false;
    bool stopRequested_ = false;
    bool stopped_ = false;
};

}  // namespace quorvel::wizard
