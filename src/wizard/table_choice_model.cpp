#include "wizard/table_choice_model.h"

#include "compare/compare.h"
#include "frame/app_info.h"
#include "frame/busy.h"
#include "frame/error_trap.h"

namespace quorvel::wizard {

TableChoiceModel::TableChoiceModel(RunModel& run, frame::Dialogs& dialogs,
                                   const foxpro::TextLocale& locale)
    : run_(run), dialogs_(dialogs), locale_(locale) {}

void TableChoiceModel::setProgress(int value, const std::string& text) {
    if (view.setProgress) view.setProgress(value, text);
}

void TableChoiceModel::Form_Load() {
    frame::ErrorTrap trap(dialogs_, "Form2.Form_Load");
    trap.step([&] {
        if (view.setUp) view.setUp();
    });
    trap.step([&] {
        if (!tables2_.empty() && view.select) view.select(2, 0);
    });
}

void TableChoiceModel::PushButton2_Click() {
    // Going back while the comparison runs would leave it to show the
    // results window over the start window.
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form2.PushButton2_Click");
    trap.step([&] {
        if (view.showStartWindow) view.showStartWindow();
    });
    trap.step([&] {
        if (view.hide) view.hide();
    });
}

void TableChoiceModel::PushButton3_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Form2.PushButton3_Click");
    std::string& table1 = run_.Table1Name;
    std::string& table2 = run_.Table2Name;

    trap.step([&] {
        if (!view.selectedEntries) return;
        // The last selected entry wins; no selection keeps the name.
        for (const std::string& entry : view.selectedEntries(1)) table1 = entry;
        for (const std::string& entry : view.selectedEntries(2)) table2 = entry;
    });
    const std::string title = frame::SetApplicationTitle();
    if (table1.empty()) {
        dialogs_.message("You forgot to select Table #1", frame::MessageButtons::Ok,
                         frame::MessageIcon::None, title);
        return;
    }
    if (table2.empty()) {
        dialogs_.message("You forgot to select Table #2", frame::MessageButtons::Ok,
                         frame::MessageIcon::None, title);
        return;
    }
    trap.step([&] { dialogs_.setPointer(frame::Pointer::Hourglass); });

    compare::CompareResult result;
    trap.step([&] {
        // Copies: the start window stays live during the run, and an edit
        // there must not change the sources under the walk.
        const data::SourceDescriptor source1 = run_.source(1);
        const data::SourceDescriptor source2 = run_.source(2);
        compare::CompareCallbacks callbacks;
        callbacks.progress = [this](int value, const std::string& text) {
            setProgress(value, text);
        };
        callbacks.processEvents = view.processEvents;
        result = compare::Compare(source1, source2, table1, table2, locale_, dialogs_, callbacks);
    });

    // Closed while the walk ran: the windows are gone, nothing more to show.
    if (ending()) return;
    if (!result.completed()) {
        // The comparison has shown why it could not run; its partial
        // differences are no result, and "identical" would be a false claim.
        dialogs_.setPointer(frame::Pointer::Default);
        setProgress(0, kProgressBarText);
        return;
    }
    if (result.differences.empty()) {
        dialogs_.message(
            "No differences between the two tables were found. The tables appear to be identical.",
            frame::MessageButtons::Ok, frame::MessageIcon::None, title);
        dialogs_.setPointer(frame::Pointer::Default);
        return;
    }

    trap.step([&] { run_.showDifferences(std::move(result.differences), view.processEvents); });
    trap.step([&] {
        dialogs_.setPointer(frame::Pointer::Default);
        setProgress(0, kProgressBarText);
    });
    trap.step([&] {
        if (view.setNewTableName) view.setNewTableName(table1 + "2");
    });
    trap.step([&] {
        if (view.setNewTableCaption)
            view.setNewTableCaption("Create new table from " + table1 +
                                    " (Table #1) and only apply checked changes from " + table2 +
                                    " (Table #2).");
    });
    trap.step([&] {
        if (view.showResults) view.showResults();
        if (view.hide) view.hide();
    });
    trap.step([&] { dialogs_.setPointer(frame::Pointer::Default); });
}

}  // namespace quorvel::wizard
