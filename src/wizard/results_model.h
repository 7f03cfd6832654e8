#pragma once

#include <functional>
#include <string>

#include "compare/pairing.h"
#include "frame/dialogs.h"
#include "wizard/run_model.h"
#include "wizard/shift_hint.h"

namespace quorvel::wizard {

// What the results window (Form3) does for its model.  Every member may be
// left empty; the model then skips that effect.
struct ResultsView {
    std::function<void()> setUp;            // load: pointer, caption, colours, icon, columns
    std::function<void()> showTableChoice;  // "< Back": Form2
    std::function<void()> showSummary;      // "< Back" when a summary row was opened
    std::function<void()> showNewTable;     // "Create New Table ...": Form4
    std::function<void()> hide;
    std::function<void()> processEvents;  // while the report is built
    // Label1: which pairing made the lines ("Records paired by content").
    std::function<void(const std::string& text)> setPairingText;
    // Label2: the structure differences as one short text (structureSummary),
    // empty when there are none.
    std::function<void(const std::string& text)> setStructureText;
    // "Create New Table ...": enabled, or disabled with the reason as its
    // tooltip (a new table is built only from two FoxPro tables).
    std::function<void(bool allowed, const std::string& reason)> setNewTableAllowed;
    // Which tables the lines are about, with their sources (tablesText),
    // and the options in force (optionsDescription).
    std::function<void(const std::string& text)> setTablesText;
    std::function<void(const std::string& text)> setOptionsText;
    // The hint that the records look shifted, with one button per offer;
    // an empty text hides it.
    std::function<void(const ShiftHint& hint)> setShiftHint;
    // After "< Back" for an offer: the table choice runs the comparison
    // again with this pairing.
    std::function<void(const compare::RecordPairing& pairing)> runAgain;
};

// Why the new-table button is off when Table #2 lies in a database or CSV file.
inline constexpr const char* kNewTableOnlyFromFoxPro =
    "A new table is built only from two FoxPro tables.";

// What the results window shows where it shows notes: the structure
// differences, or for a database or CSV side its column lines.
std::string notesText(const RunModel& run);

// The results window's logic: the run's two lists, the text report, and the
// ways back to the table choice and on to the new-table window.
class ResultsModel {
  public:
    ResultsModel(RunModel& run, frame::Dialogs& dialogs) : run_(run), dialogs_(dialogs) {}
    ResultsModel(const ResultsModel&) = delete;
    ResultsModel& operator=(const ResultsModel&) = delete;

    ResultsView view;

    void Form_Load();
    // Each time the window is shown: says which tables were compared, how
    // their records were paired, under which options, and whether the
    // records look shifted (not offered for a summary's table: running it
    // again is the table choice's, for the pair chosen there).
    void Form_Activate();
    // "< Back": empties the lists of both windows and returns to the table
    // choice, or to the summary the lines were opened from; ignored while
    // busy (a save or merge reads them).
    void PushButton2_Click();
    // "Create New Table Based On Differences"; ignored when Table #2 is
    // not a FoxPro table.
    void PushButton3_Click();
    // "Save Results to Text File"; ignored while busy.
    void PushButton4_Click();
    // A button of the shift hint: back to the table choice, which runs the
    // comparison again with the offered pairing; ignored while busy.
    void HintButton_Click(int offer);
    const ShiftHint& shiftHint() const { return hint_; }

  private:
    RunModel& run_;
    ShiftHint hint_;
    frame::Dialogs& dialogs_;
};

}  // namespace quorvel::wizard
