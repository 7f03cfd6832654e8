#include "wizard/table_choice_model.h"

#include "compare/compare.h"
#include "foxpro/format/ascii_case.h"
#include "frame/app_info.h"
#include "frame/busy.h"
#include "frame/error_trap.h"
#include "wizard/run_context.h"
#include "wizard/side_run.h"

namespace quorvel::wizard {

TableChoiceModel::TableChoiceModel(RunModel& run, frame::Dialogs& dialogs,
                                   const foxpro::TextLocale& locale, frame::SettingsStore& store)
    : run_(run), dialogs_(dialogs), locale_(locale), store_(store) {}

std::string duplicateKeysMessage(const std::vector<compare::DuplicateKey>& duplicates) {
    std::string text =
        "Some key values are not unique. The first record of such a value in Table #1 is "
        "paired with the first in Table #2, the second with the second, and so on.";
    for (std::size_t i = 0; i < duplicates.size() && i < kDuplicatesShown; ++i)
        text += "\r\n" + compare::duplicateKeyText(duplicates[i]);
    if (duplicates.size() > kDuplicatesShown)
        text += "\r\n... and " + std::to_string(duplicates.size() - kDuplicatesShown) +
                " more key values";
    return text;
}

std::string warningsMessage(const std::vector<std::string>& warnings) {
    std::string text = "Notes on the comparison:";
    for (std::size_t i = 0; i < warnings.size() && i < kWarningsShown; ++i)
        text += "\r\n" + warnings[i];
    if (warnings.size() > kWarningsShown)
        text += "\r\n... and " + std::to_string(warnings.size() - kWarningsShown) + " more";
    return text;
}

std::string autoKeyText(const compare::AutoKey& key) {
    if (key.pairing.by != compare::Pairing::Key) return "none: records pair by position";
    return key.pairing.note;
}

std::vector<std::string> TableChoiceModel::tickedKeyFields() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < keyFields_.size(); ++i)
        if (ticked_[i]) names.push_back(keyFields_[i]);
    return names;
}

std::string TableChoiceModel::chosenTable(int list) const {
    std::string name = list == 1 ? run_.Table1Name : run_.Table2Name;
    if (view.selectedEntries)
        for (const std::string& entry : view.selectedEntries(list)) name = entry;
    return name;
}

void TableChoiceModel::showKeyFields() {
    if (view.setKeyFields) view.setKeyFields(keyFields_, ticked_);
}

void TableChoiceModel::refreshKeyFields() {
    const std::string table1 = chosenTable(1);
    const std::string table2 = chosenTable(2);
    fieldsTable1_ = table1;
    fieldsTable2_ = table2;
    keyFields_.clear();
    ticked_.clear();
    std::string keyText;
    if (!table1.empty() && !table2.empty()) {
        // A database or CSV side has no key of its own to agree with:
        // Table #1's key and fields are the ones offered.
        const bool side = run_.side2Chosen();
        const data::SourceDescriptor& source2 = side ? run_.source(1) : run_.source(2);
        const std::string& keyTable2 = side ? table1 : table2;
        try {
            keyText = autoKeyText(
                compare::resolveAutoKey(run_.source(1), source2, table1, keyTable2));
        } catch (const std::exception&) {
            // As the comparison does: an unreadable key pairs by position.
            keyText = autoKeyText({});
        }
        try {
            keyFields_ = side ? compare::tableFieldNames(run_.source(1), table1)
                              : compare::sharedFieldNames(run_.source(1), run_.source(2), table1,
                                                          table2);
        } catch (const std::exception&) {
            // A table that cannot be read offers no fields; the comparison
            // tells why when it runs.
        }
        const std::vector<std::string> saved =
            compare::splitKeyFields(store_.GetSetting(frame::keyFieldsKey(table1, table2)));
        for (const auto& field : keyFields_) {
            bool tick = false;
            for (const auto& name : saved) tick = tick || foxpro::equalsNoCase(name, field);
            ticked_.push_back(tick);
        }
    }
    if (view.setAutoKeyText) view.setAutoKeyText(keyText);
    showKeyFields();
}

void TableChoiceModel::List1_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form2.List1_Click");
    trap.step([&] { refreshKeyFields(); });
}

void TableChoiceModel::List2_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form2.List2_Click");
    trap.step([&] { refreshKeyFields(); });
}

void TableChoiceModel::choosePairing(compare::Pairing by) {
    pairing_ = by;
    store_.SaveSetting(frame::kKeyPairRecordsBy, std::string(compare::pairingWord(by)));
}

void TableChoiceModel::Option1_Click() {
    frame::ErrorTrap trap(dialogs_, "Form2.Option1_Click");
    trap.step([&] { choosePairing(compare::Pairing::Position); });
}

void TableChoiceModel::Option2_Click() {
    frame::ErrorTrap trap(dialogs_, "Form2.Option2_Click");
    trap.step([&] { choosePairing(compare::Pairing::Key); });
}

void TableChoiceModel::Option3_Click() {
    frame::ErrorTrap trap(dialogs_, "Form2.Option3_Click");
    trap.step([&] { choosePairing(compare::Pairing::Content); });
}

void TableChoiceModel::Option4_Click() {
    frame::ErrorTrap trap(dialogs_, "Form2.Option4_Click");
    trap.step([&] { choosePairing(compare::Pairing::Auto); });
}

void TableChoiceModel::List3_ItemCheck(int row, bool ticked) {
    if (row < 0 || static_cast<std::size_t>(row) >= keyFields_.size()) return;
    if (run_.busy.active()) {
        // The run has taken its key fields: the list shows them as they were.
        showKeyFields();
        return;
    }
    frame::ErrorTrap trap(dialogs_, "Form2.List3_ItemCheck");
    trap.step([&] {
        ticked_[static_cast<std::size_t>(row)] = ticked;
        store_.SaveSetting(frame::keyFieldsKey(fieldsTable1_, fieldsTable2_),
                           compare::joinKeyFields(tickedKeyFields()));
    });
}

void TableChoiceModel::reportDuplicates(const std::vector<compare::DuplicateKey>& duplicates) {
    if (duplicates.empty()) return;
    dialogs_.message(duplicateKeysMessage(duplicates), frame::MessageButtons::Ok,
                     frame::MessageIcon::None, frame::SetApplicationTitle());
}

void TableChoiceModel::reportWarnings(const std::vector<std::string>& warnings) {
    if (warnings.empty()) return;
    dialogs_.message(warningsMessage(warnings), frame::MessageButtons::Ok,
                     frame::MessageIcon::Exclamation, frame::SetApplicationTitle());
}

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
    trap.step([&] {
        pairing_ = compare::pairingFromWord(store_.GetSetting(frame::kKeyPairRecordsBy));
        if (view.setPairing) view.setPairing(pairing_);
        refreshKeyFields();
    });
}

void TableChoiceModel::Form_Activate() {
    frame::ErrorTrap trap(dialogs_, "Form2.Form_Activate");
    trap.step([&] {
        if (view.setSourceTexts)
            view.setSourceTexts(sourceText(run_.source(1)),
                                run_.side2Chosen() ? run_.side2 : sourceText(run_.source(2)));
    });
}

void TableChoiceModel::runAgain(const compare::RecordPairing& pairing) {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form2.runAgain");
    const bool chosen = trap.step([&] {
        choosePairing(pairing.by);
        if (view.setPairing) view.setPairing(pairing.by);
        if (pairing.by != compare::Pairing::Key) return;
        refreshKeyFields();
        for (std::size_t i = 0; i < keyFields_.size(); ++i) {
            bool tick = false;
            for (const auto& name : pairing.keyFields)
                tick = tick || foxpro::equalsNoCase(name, keyFields_[i]);
            ticked_[i] = tick;
        }
        store_.SaveSetting(frame::keyFieldsKey(fieldsTable1_, fieldsTable2_),
                           compare::joinKeyFields(tickedKeyFields()));
        showKeyFields();
    });
    if (chosen) PushButton3_Click();
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
    if (!bothChosen(table1, table2)) return;
    const std::string title = frame::SetApplicationTitle();
    compare::RecordPairing pairing;
    pairing.by = pairing_;
    if (pairing.by == compare::Pairing::Key) {
        trap.step([&] {
            refreshKeyFields();
            pairing.keyFields = tickedKeyFields();
        });
        if (pairing.keyFields.empty()) {
            dialogs_.message("You forgot to tick a key field", frame::MessageButtons::Ok,
                             frame::MessageIcon::None, title);
            return;
        }
    }
    trap.step([&] { dialogs_.setPointer(frame::Pointer::Hourglass); });
    if (run_.side2Chosen()) {
        runWithSide(table1, table2, pairing);
        return;
    }

    compare::CompareResult result;
    compare::CompareOptions options;
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
        options = OptionsModel::saved(store_, table1, table2);
        if (!options.ignoredFields.empty())
            OptionsModel::forgetMissingFields(options, compare::tableFieldNames(source1, table1));
        result = compare::Compare(source1, source2, table1, table2, locale_, dialogs_, callbacks,
                                  pairing, options);
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
    // Told before the results: the run went on and paired them in order.
    trap.step([&] { reportDuplicates(result.duplicateKeys); });
    if (ending()) return;
    trap.step([&] { reportWarnings(result.warnings); });
    if (ending()) return;
    if (result.differences.empty() && result.structure.empty()) {
        dialogs_.message(
            "No differences between the two tables were found. The tables appear to be identical.",
            frame::MessageButtons::Ok, frame::MessageIcon::None, title);
        dialogs_.setPointer(frame::Pointer::Default);
        return;
    }

    trap.step([&] {
        // The pairing the walk used: for the table's own key, the key it chose.
        run_.pairing = result.pairing;
        run_.options = options;
        run_.fromSummary = false;
        run_.showDifferences(std::move(result.differences), view.processEvents);
        run_.structure = std::move(result.structure);
    });
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

void TableChoiceModel::runWithSide(const std::string& table1, const std::string& table2,
                                   const compare::RecordPairing& pairing) {
    frame::ErrorTrap trap(dialogs_, "Form2.PushButton3_Click");
    const std::string title = frame::SetApplicationTitle();
    SideRun result;
    compare::CompareOptions options;
    bool completed = false;
    const data::SourceDescriptor source1 = run_.source(1);
    const std::string side = run_.side2;
    trap.step([&] {
        options = OptionsModel::saved(store_, table1, table2);
        if (!options.ignoredFields.empty())
            OptionsModel::forgetMissingFields(options, compare::tableFieldNames(source1, table1));
    });
    setProgress(0, "Comparing " + table1 + " with " + table2);
    if (view.processEvents) view.processEvents();
    try {
        result = runSideComparison(source1, table1, side, table2, pairing, options, locale_);
        completed = true;
    } catch (const std::exception& e) {
        // The side or the table names itself and its problem.
        dialogs_.message(e.what(), frame::MessageButtons::Ok, frame::MessageIcon::Exclamation,
                         title);
    }
    dialogs_.setPointer(frame::Pointer::Default);
    setProgress(0, kProgressBarText);
    if (!completed || ending()) return;
    trap.step([&] { reportWarnings(result.notes); });
    if (ending()) return;
    if (result.differences.empty()) {
        std::string text =
            "No differences between the two tables were found. The tables appear to be identical.";
        for (const std::string& line : result.columns) text += "\r\n" + line;
        dialogs_.message(text, frame::MessageButtons::Ok, frame::MessageIcon::None, title);
        return;
    }
    trap.step([&] {
        run_.pairing = result.pairing;
        run_.options = options;
        run_.fromSummary = false;
        run_.showDifferences(std::move(result.differences), view.processEvents);
        run_.sideColumns = std::move(result.columns);
    });
    trap.step([&] {
        if (view.showResults) view.showResults();
        if (view.hide) view.hide();
    });
}

bool TableChoiceModel::bothChosen(const std::string& table1, const std::string& table2) {
    const std::string title = frame::SetApplicationTitle();
    if (table1.empty()) {
        dialogs_.message("You forgot to select Table #1", frame::MessageButtons::Ok,
                         frame::MessageIcon::None, title);
        return false;
    }
    if (table2.empty()) {
        dialogs_.message("You forgot to select Table #2", frame::MessageButtons::Ok,
                         frame::MessageIcon::None, title);
        return false;
    }
    return true;
}

void TableChoiceModel::PushButton5_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form2.PushButton5_Click");
    if (run_.side2Chosen()) {
        dialogs_.message("All tables are compared only between two FoxPro sources.",
                         frame::MessageButtons::Ok, frame::MessageIcon::None,
                         frame::SetApplicationTitle());
        return;
    }
    trap.step([&] {
        if (view.compareAllTables) view.compareAllTables(pairing_);
    });
}

void TableChoiceModel::PushButton4_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Form2.PushButton4_Click");
    const std::string table1 = chosenTable(1);
    const std::string table2 = chosenTable(2);
    if (!bothChosen(table1, table2)) return;
    std::vector<std::string> fields;
    if (!trap.step([&] { fields = compare::tableFieldNames(run_.source(1), table1); })) return;
    OptionsModel options(store_, table1, table2, std::move(fields));
    // The dialog comes back with its choices until they can be saved.
    while (view.editOptions && view.editOptions(options)) {
        const std::string problem = options.accept();
        if (problem.empty()) break;
        dialogs_.message(problem, frame::MessageButtons::Ok, frame::MessageIcon::Exclamation,
                         frame::SetApplicationTitle());
    }
}

}  // namespace quorvel::wizard
