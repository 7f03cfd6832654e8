#include "wizard/results_model.h"

#include "data/foxpro_source.h"
#include "frame/busy.h"
#include "frame/error_trap.h"
#include "results/text_report.h"
#include "wizard/options_model.h"
#include "wizard/run_context.h"
#include "wizard/side_run.h"

namespace quorvel::wizard {

std::string notesText(const RunModel& run) {
    if (!run.side2Chosen()) return structureSummary(run.structure, run.Table2Name);
    std::string text;
    for (const std::string& line : run.sideColumns) text += (text.empty() ? "" : "; ") + line;
    return text;
}

void ResultsModel::Form_Load() {
    frame::ErrorTrap trap(dialogs_, "Form3.Form_Load");
    trap.step([&] {
        if (view.setUp) view.setUp();
    });
}

void ResultsModel::Form_Activate() {
    frame::ErrorTrap trap(dialogs_, "Form3.Form_Activate");
    trap.step([&] {
        if (view.setPairingText) view.setPairingText(compare::pairingDescription(run_.pairing));
        if (view.setStructureText) view.setStructureText(notesText(run_));
        if (view.setNewTableAllowed)
            view.setNewTableAllowed(!run_.side2Chosen(),
                                    run_.side2Chosen() ? kNewTableOnlyFromFoxPro : "");
        if (view.setTablesText) view.setTablesText(tablesText(run_));
        if (view.setOptionsText) view.setOptionsText(optionsDescription(run_.options));
    });
    trap.step([&] {
        hint_ = run_.fromSummary ? ShiftHint{} : wizard::shiftHint(run_);
        if (view.setShiftHint) view.setShiftHint(hint_);
    });
}

void ResultsModel::HintButton_Click(int offer) {
    if (run_.busy.active() || offer < 0 || offer >= static_cast<int>(hint_.offers.size())) return;
    const compare::RecordPairing pairing = hint_.offers[static_cast<std::size_t>(offer)].pairing;
    PushButton2_Click();
    frame::ErrorTrap trap(dialogs_, "Form3.HintButton_Click");
    trap.step([&] {
        if (view.runAgain) view.runAgain(pairing);
    });
}

void ResultsModel::PushButton2_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form3.PushButton2_Click");
    trap.step([&] { run_.fieldDifferences().clear(); });
    trap.step([&] { run_.addedDeleted().clear(); });
    // The new-table window shows the same two lists: dropping the
    // differences empties its lists too.
    trap.step([&] { run_.clearDifferences(); });
    trap.step([&] {
        if (run_.fromSummary) {
            if (view.showSummary) view.showSummary();
        } else if (view.showTableChoice) {
            view.showTableChoice();
        }
        if (view.hide) view.hide();
    });
}

void ResultsModel::PushButton3_Click() {
    if (run_.side2Chosen()) return;
    frame::ErrorTrap trap(dialogs_, "Form3.PushButton3_Click");
    trap.step([&] {
        if (view.showNewTable) view.showNewTable();
        if (view.hide) view.hide();
    });
}

void ResultsModel::PushButton4_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Form3.PushButton4_Click");
    std::string fileName;
    trap.step([&] {
        frame::FileDialogRequest request;
        request.title = "Save File As";
        request.fileName = "";
        request.filter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";
        fileName = dialogs_.saveFileName(request);
    });
    if (fileName.empty()) return;
    trap.step([&] { dialogs_.setPointer(frame::Pointer::Hourglass); });
    // The report never goes over a file of the compared tables.
    std::vector<std::string> sourceFiles;
    const bool known = trap.step([&] {
        sourceFiles = data::SourceTableFiles(run_.source(1), run_.Table1Name);
        for (auto& file : run_.side2Chosen()
                              ? sideFiles(run_.side2)
                              : data::SourceTableFiles(run_.source(2), run_.Table2Name))
            sourceFiles.push_back(std::move(file));
    });
    // Written line by line from the list, never as one text.
    trap.step([&] {
        if (!known) return;
        results::WriteTextReport(run_.differences(), run_.structure, fileName, sourceFiles,
                                 view.processEvents);
    });
    trap.step([&] { dialogs_.setPointer(frame::Pointer::Default); });
}

}  // namespace quorvel::wizard
