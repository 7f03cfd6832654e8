#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compare/auto_key.h"
#include "compare/pairing.h"
#include "data/string_list.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"
#include "frame/settings_store.h"
#include "wizard/options_model.h"
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
    // "Pair records by:": checks the option button of the pairing
    // (Option1 Position, Option2 Key fields, Option3 Content, Option4 the
    // table's own key).
    std::function<void(compare::Pairing by)> setPairing;
    // The key-field list (List3): the fields both chosen tables share, each
    // with its tick; empty while a table is missing on either side.
    std::function<void(const std::vector<std::string>& fields, const std::vector<bool>& ticked)>
        setKeyFields;
    // Beside "Table's own key (automatic)": which key that is for the chosen
    // pair (autoKeyText); empty while a table is missing on either side.
    std::function<void(const std::string& text)> setAutoKeyText;
    // "Compare All Tables": the summary window takes over, comparing every
    // table of the two sources with this pairing.
    std::function<void(compare::Pairing by)> compareAllTables;
    // "Options...": shows the Options dialog with the model's choices, modal.
    // Returns true when the user pressed OK, with the choices written back
    // into the model; false when the dialog was cancelled.
    std::function<bool(OptionsModel& options)> editOptions;
    // The sources the two lists come from (sourceText), under the lists.
    std::function<void(const std::string& source1, const std::string& source2)> setSourceTexts;
};

// The table-choice window's logic: Table #1 and Table #2 are picked from the
// two lists and "Next >" runs the comparison, fills the run's lists and
// moves on to the results window.
class TableChoiceModel {
  public:
    // The store keeps the pairing and the key fields of each pair of tables.
    TableChoiceModel(RunModel& run, frame::Dialogs& dialogs, const foxpro::TextLocale& locale,
                     frame::SettingsStore& store);
    TableChoiceModel(const TableChoiceModel&) = delete;
    TableChoiceModel& operator=(const TableChoiceModel&) = delete;

    TableChoiceView view;

    // The table list of source n (List1 / List2); the start window fills it.
    data::StringList& tableList(int n) { return n == 1 ? tables1_ : tables2_; }

    void Form_Load();  // also restores the last pairing
    // Each time the window is shown: names the sources of the two lists.
    void Form_Activate();
    void PushButton2_Click();  // "< Back"; ignored while a run is going on
    void PushButton3_Click();  // "Next >": the comparison run; ignored while busy
    // "Compare All Tables": every table of the two sources, in the summary
    // window; ignored while busy.
    void PushButton5_Click();
    // "Options...": the comparison options of the chosen pair of tables,
    // saved when the dialog is left with OK; ignored while busy.
    void PushButton4_Click();
    // A table was picked in List1 / List2: the key-field list follows the
    // chosen pair.
    void List1_Click();
    void List2_Click();
    // The options of "Pair records by:"; saved at once.
    void Option1_Click();  // Position
    void Option2_Click();  // Key fields
    void Option3_Click();  // Content
    void Option4_Click();  // Table's own key (automatic)
    // A key field's tick changed (row of the key-field list); saved at once
    // for the chosen pair of tables.  Ignored while a run is going on.
    void List3_ItemCheck(int row, bool ticked);
    // The results window's offer: the same two tables compared again with
    // this pairing (chosen as the user would choose it, so it is kept), as
    // "Next >" compares them.
    void runAgain(const compare::RecordPairing& pairing);

    compare::Pairing pairing() const { return pairing_; }
    const std::vector<std::string>& keyFields() const { return keyFields_; }
    // The ticked key fields, in the list's order.
    std::vector<std::string> tickedKeyFields() const;

  private:
    void setProgress(int value, const std::string& text);
    bool ending() const { return view.ending && view.ending(); }
    void choosePairing(compare::Pairing by);
    // The table chosen on a side: the list's selected entry, else the name
    // of the latest run ("Next >" compares that pair then).
    std::string chosenTable(int list) const;
    // Fills the key-field list for the chosen pair (read anew: the sources
    // may have changed), ticks from the store.
    void refreshKeyFields();
    void showKeyFields();
    // Tells that a table is missing on a side; true when both are chosen.
    bool bothChosen(const std::string& table1, const std::string& table2);
    // "Next >" when source 2 is a database or CSV file.
    void runWithSide(const std::string& table1, const std::string& table2,
                     const compare::RecordPairing& pairing);
    void reportDuplicates(const std::vector<compare::DuplicateKey>& duplicates);
    void reportWarnings(const std::vector<std::string>& warnings);

    RunModel& run_;
    frame::Dialogs& dialogs_;
    const foxpro::TextLocale& locale_;
    frame::SettingsStore& store_;
    data::StringList tables1_;
    data::StringList tables2_;
    compare::Pairing pairing_ = compare::Pairing::Position;
    std::string fieldsTable1_;  // the pair the key-field list is for
    std::string fieldsTable2_;
    std::vector<std::string> keyFields_;
    std::vector<bool> ticked_;
};

// The message shown before the results when key values are not unique:
// one line per value (at most kDuplicatesShown, then how many more).
inline constexpr std::size_t kDuplicatesShown = 10;
std::string duplicateKeysMessage(const std::vector<compare::DuplicateKey>& duplicates);

// The message shown before the results when the comparison has something
// to say besides the differences (CompareResult::warnings): one line per
// warning (at most kWarningsShown, then how many more).
inline constexpr std::size_t kWarningsShown = 10;
std::string warningsMessage(const std::vector<std::string>& warnings);

// What the table's own key will be, for the window: "primary key
// CUSTOMERID (container northwind.dbc)", "candidate index ID" or "none:
// records pair by position".
std::string autoKeyText(const compare::AutoKey& key);

// The progress bar's resting text.
inline constexpr const char* kProgressBarText = "Progress Bar";

}  // namespace quorvel::wizard
