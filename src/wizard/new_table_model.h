#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame/dialogs.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// What the new-table window (Form4) does for its model.  Every member may be
// left empty; the model then skips that effect.
struct NewTableView {
    std::function<void()> setUp;          // load: colours, icon, hand pointer, columns, caption
    std::function<void()> whitenCaption;  // load: Label1 on white
    // Shows a text in the name box (Text1) or the caption label (Label1);
    // the box does not echo it back as a change.
    std::function<void(const std::string& name)> setNewTableName;
    std::function<void(const std::string& caption)> setCaptionText;
    std::function<void()> showResults;  // "< Back": Form3
    // "Three-Way Merge...": that window, opened on the run's tables and the
    // new table's name.
    std::function<void(const std::string& newName)> showThreeWay;
    std::function<void()> hide;
    std::function<void()> processEvents;  // while the merge runs
    // True once the program is ending: a merge running then stops, and
    // nothing is put in place.
    std::function<bool()> ending;
    // While "Create" runs: how far the merge has got (ticked lines reached
    // of those ticked), and its end.
    std::function<void(std::int64_t done, std::int64_t total)> showMergeProgress;
    std::function<void()> endMergeProgress;
};

// The new-table window's logic: the run's two lists with their ticks, the
// new table's name, and "Create", which runs the merge.
class NewTableModel {
  public:
    NewTableModel(RunModel& run, frame::Dialogs& dialogs) : run_(run), dialogs_(dialogs) {}
    NewTableModel(const NewTableModel&) = delete;
    NewTableModel& operator=(const NewTableModel&) = delete;

    NewTableView view;

    // Set by the table-choice run: the name box's text and the caption.
    void setNewTableName(const std::string& name);
    void setCaptionText(const std::string& caption);
    const std::string& newTableName() const { return newTableName_; }
    const std::string& captionText() const { return captionText_; }

    void Form_Load();
    void Form_Activate();                        // every line of both lists ticked
    void Text1_Change(const std::string& text);  // the user edits the name
    void PushButton1_Click();                    // Select All, field differences
    void PushButton4_Click();                    // Unselect All, field differences
    void PushButton5_Click();                    // Select All, added/deleted
    void PushButton6_Click();                    // Unselect All, added/deleted
    void PushButton2_Click();                    // "< Back"
    void PushButton8_Click();                    // "Three-Way Merge..."; ignored while busy
    // "Create": the merge of the ticked differences; ignored while busy.  A
    // name that is Table #1 or Table #2 (or a file of theirs) is refused with
    // a message, never asked about.  A table of the new name that exists
    // already (or any file of its set) is replaced only when the user says
    // Yes to the question, asked before anything is written.
    void PushButton3_Click();
    // "Stop", shown while the merge runs: it stops before its next line and
    // leaves no table.
    void PushButton7_Click();
    bool merging() const { return merging_; }

  private:
    void setAll(ResultList& list, bool checked, const char* location);

    RunModel& run_;
    frame::Dialogs& dialogs_;
    std::string newTableName_;
    std::string captionText_;
    bool merging_ = false;
    bool stopRequested_ = false;
};

}  // namespace quorvel::wizard
