#pragma once

#include <functional>
#include <string>

#include "frame/dialogs.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// What the results window (Form3) does for its model.  Every member may be
// left empty; the model then skips that effect.
struct ResultsView {
    std::function<void()> setUp;            // load: pointer, caption, colours, icon, columns
    std::function<void()> showTableChoice;  // "< Back": Form2
    std::function<void()> showNewTable;     // "Create New Table ...": Form4
    std::function<void()> hide;
    std::function<void()> processEvents;  // while the report is built
    // Label1: which pairing made the lines ("Records paired by content").
    std::function<void(const std::string& text)> setPairingText;
    // Label2: the structure differences as one short text (structureSummary),
    // empty when there are none.
    std::function<void(const std::string& text)> setStructureText;
};

// The results window's logic: the run's two lists, the text report, and the
// ways back to the table choice and on to the new-table window.
class ResultsModel {
  public:
    ResultsModel(RunModel& run, frame::Dialogs& dialogs) : run_(run), dialogs_(dialogs) {}
    ResultsModel(const ResultsModel&) = delete;
    ResultsModel& operator=(const ResultsModel&) = delete;

    ResultsView view;

    void Form_Load();
    // Each time the window is shown: says how the run's records were paired.
    void Form_Activate();
    // "< Back": empties the lists of both windows; ignored while busy (a
    // save or merge reads them).
    void PushButton2_Click();
    void PushButton3_Click();  // "Create New Table Based On Differences"
    // "Save Results to Text File"; ignored while busy.
    void PushButton4_Click();

  private:
    RunModel& run_;
    frame::Dialogs& dialogs_;
};

}  // namespace quorvel::wizard
