#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/string_list.h"
#include "foxpro/text_locale.h"
#include "frame/dialogs.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// What the table-choice window (Form2) does for its model.  Every member may
// be left empty; the model then skips that effect.
struct TableChoiceView {
    // Load: system colours, icon, hand pointer, caption.
    std::function<void()> setUp;
    // The texts of the selected entries of List1 (list 1) or List2 (list 2),
    // first to last.
    std::function<std::vector<std::string>(int list)> selectedEntries;
    // Selects entry `row` of List1 / List2.
    std::function<void(int list, int row)> select;
    // ProgressBar1: value 0..100 and its text.
    std::function<void(int value, const std::string& text)> setProgress;
    std::function<void()> showStartWindow;  // "< Back": Form1
    std::function<void()> showResults;      // after a run: Form3
    std::function<void()> hide;
    // The new-table window's name box and caption label, set after a run.
    std::function<void(const std::string& name)> setNewTableName;
    std::function<void(const std::string& caption)> setNewTableCaption;
    // Lets pending window events run (the model keeps the pace).
    std::function<void()> processEvents;
    // True once the program is ending (a window was closed during the run).
    std::function<bool()> ending;
};

// The table-choice window's logic: Table #1 and Table #2 are picked from the
// two lists and "Next >" runs the comparison, fills the run's lists and
// moves on to the results window.
class TableChoiceModel {
  public:
    TableChoiceModel(RunModel& run, frame::Dialogs& dialogs, const foxpro::TextLocale& locale);
    TableChoiceModel(const TableChoiceModel&) = delete;
    TableChoiceModel& operator=(const TableChoiceModel&) = delete;

    TableChoiceView view;

    // The table list of source n (List1 / List2); the start window fills it.
    data::StringList& tableList(int n) { return n == 1 ? tables1_ : tables2_; }

    void Form_Load();
    void PushButton2_Click();  // "< Back"; ignored while a run is going on
    void PushButton3_Click();  // "Next >": the comparison run; ignored while busy

  private:
    void setProgress(int value, const std::string& text);
    bool ending() const { return view.ending && view.ending(); }

    RunModel& run_;
    frame::Dialogs& dialogs_;
    const foxpro::TextLocale& locale_;
    data::StringList tables1_;
    data::StringList tables2_;
};

// The progress bar's resting text.
inline constexpr const char* kProgressBarText = "Progress Bar";

}  // namespace quorvel::wizard
