#include "wizard/new_table_model.h"

#include <string>
#include <vector>

#include "foxpro/format/ascii_case.h"
#include "foxpro/source/data_source.h"
#include "frame/app_info.h"
#include "frame/busy.h"
#include "frame/error_trap.h"
#include "results/merge.h"

namespace quorvel::wizard {

namespace {

// A list of the window as the merge reads it: each difference and its tick
// when the merge reaches it, so a tick changed during the merge still
// counts for the rows ahead.
class WindowList : public results::MergeList {
  public:
    explicit WindowList(const ResultList& list) : list_(list) {}
    int count() const override { return list_.count(); }
    compare::Difference difference(int row) const override { return list_.difference(row); }
    bool checked(int row) const override { return list_.checked(row); }

  private:
    const ResultList& list_;
};

// The question before the merge replaces what has the new name: a table
// (its .dbf, which comes first), or files of its set without one.
std::string replaceQuestion(const std::string& name, const std::vector<std::string>& existing) {
    const std::string folder = foxpro::parentFolder(existing.front());
    if (foxpro::lowerAscii(existing.front()).ends_with(".dbf"))
        return "A table named " + name + " already exists in " + folder + ". Replace it?";
    if (existing.size() == 1)
        return foxpro::fileNameOf(existing.front()) + " already exists in " + folder +
               ". Replace it?";
    std::string names;
    for (const auto& path : existing)
        names += (names.empty() ? "" : ", ") + foxpro::fileNameOf(path);
    return "Files of a table named " + name + " already exist in " + folder + " (" + names +
           "). Replace them?";
}

}  // namespace

void NewTableModel::setNewTableName(const std::string& name) {
    newTableName_ = name;
    if (view.setNewTableName) view.setNewTableName(name);
}

void NewTableModel::setCaptionText(const std::string& caption) {
    captionText_ = caption;
    if (view.setCaptionText) view.setCaptionText(caption);
}

void NewTableModel::Text1_Change(const std::string& text) {
    newTableName_ = text;
}

void NewTableModel::Form_Load() {
    frame::ErrorTrap trap(dialogs_, "Form4.Form_Load");
    trap.step([&] {
        if (view.setUp) view.setUp();
    });
    trap.step([&] {
        if (view.whitenCaption) view.whitenCaption();
    });
}

void NewTableModel::Form_Activate() {
    frame::ErrorTrap trap(dialogs_, "Form4.Form_Activate");
    trap.step([&] { run_.fieldDifferences().setAllChecked(true); });
    trap.step([&] { run_.addedDeleted().setAllChecked(true); });
}

void NewTableModel::setAll(ResultList& list, bool checked, const char* location) {
    frame::ErrorTrap trap(dialogs_, location);
    trap.step([&] { list.setAllChecked(checked); });
}

void NewTableModel::PushButton1_Click() {
    setAll(run_.fieldDifferences(), true, "Form4.PushButton1_Click");
}
void NewTableModel::PushButton4_Click() {
    setAll(run_.fieldDifferences(), false, "Form4.PushButton4_Click");
}
void NewTableModel::PushButton5_Click() {
    setAll(run_.addedDeleted(), true, "Form4.PushButton5_Click");
}
void NewTableModel::PushButton6_Click() {
    setAll(run_.addedDeleted(), false, "Form4.PushButton6_Click");
}

void NewTableModel::PushButton2_Click() {
    frame::ErrorTrap trap(dialogs_, "Form4.PushButton2_Click");
    trap.step([&] {
        if (view.showResults) view.showResults();
        if (view.hide) view.hide();
    });
}

void NewTableModel::PushButton8_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form4.PushButton8_Click");
    trap.step([&] {
        if (view.showThreeWay) view.showThreeWay(newTableName_);
        if (view.hide) view.hide();
    });
}

void NewTableModel::PushButton3_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, results::kMergeLocation);
    trap.step([&] {
        results::MergeRequest request;
        request.newTableName = newTableName_;
        request.Table1Name = run_.Table1Name;
        request.Table2Name = run_.Table2Name;
        request.source1 = run_.source(1);
        request.source2 = run_.source(2);
        // A source table is never offered for replacing.
        if (const std::string refusal = results::NewTableNameRefusal(request); !refusal.empty()) {
            dialogs_.message(refusal, frame::MessageButtons::Ok, frame::MessageIcon::None,
                             frame::SetApplicationTitle());
            return;
        }
        const std::vector<std::string> existing = results::ExistingNewTableFiles(request);
        if (!existing.empty()) {
            const frame::Answer answer = dialogs_.message(
                replaceQuestion(newTableName_, existing), frame::MessageButtons::YesNoDefaultNo,
                frame::MessageIcon::None, frame::SetApplicationTitle());
            if (answer != frame::Answer::Yes) return;
            request.replaceExisting = true;
        }
        results::MergeCallbacks callbacks;
        callbacks.processEvents = view.processEvents;
        callbacks.progress = view.showMergeProgress;
        // "Stop", or the program closing.
        callbacks.stopRequested = [this] {
            return stopRequested_ || (view.ending && view.ending());
        };
        merging_ = true;
        stopRequested_ = false;
        // The progress display goes away however the merge ends.
        struct Ending {
            NewTableModel& model;
            ~Ending() {
                model.merging_ = false;
                if (model.view.endMergeProgress) model.view.endMergeProgress();
            }
        } ending{*this};
        results::MergeIntoNewTable(request, WindowList(run_.fieldDifferences()),
                                   WindowList(run_.addedDeleted()), dialogs_, callbacks);
    });
}

void NewTableModel::PushButton7_Click() {
    if (merging_) stopRequested_ = true;
}

}  // namespace quorvel::wizard
