#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compare/merge3.h"
#include "compare/pairing.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"
#include "frame/settings_store.h"
#include "wizard/options_model.h"
#include "wizard/run_model.h"

namespace quorvel::foxpro {
class DataSource;
class TableReader;
}  // namespace quorvel::foxpro

namespace quorvel::wizard {

// What the three-way merge window does for its model.  Every member may be
// left empty; the model then skips that effect.
struct Merge3View {
    std::function<void()> setUp;  // load: icon, colours, caption
    // Shows the text of a table box (Merge3Model::Base .. Output) without
    // the box echoing it back as the user's change.
    std::function<void(int box, const std::string& text)> setBoxText;
    std::function<void(compare::Pairing by)> setPairing;
    std::function<void(const std::string& text)> setKeyFieldsText;
    // What the latest run found, in a line or two ("" before a run).
    std::function<void(const std::string& text)> setOutcome;
    // The conflict rows, or the side kept in them, changed.
    std::function<void()> conflictsChanged;
    // "Type Value...": asks for a conflict's value (prompt names the
    // field), starting from initial; none when the user cancels.
    std::function<std::optional<std::string>(const std::string& prompt, const std::string& initial)>
        askValue;
    // "Options...": the Options dialog, modal; true on OK.
    std::function<bool(OptionsModel& options)> editOptions;
    std::function<void()> showNewTable;  // "< Back"
    std::function<void()> hide;
    std::function<void()> processEvents;  // while Run or Write works
    // True once the program is ending: work running then stops.
    std::function<bool()> ending;
    // While Run or Write works: what it does ("Merging", "Writing"), how far
    // it has got (done of total, total 0 while that is not known yet), and
    // its end.  The progress display shows Stop beside it.
    std::function<void(const std::string& what, std::int64_t done, std::int64_t total)>
        showProgress;
    std::function<void()> endProgress;
};

// The three-way merge window's logic: a base table and two edited copies of
// it (ours, theirs), each a table file or SOURCE::TABLE; how their records
// pair; "Run", which merges and lists the conflicts; a side kept per
// conflict; and "Write", which makes the merged table whole or not at all.
class Merge3Model {
  public:
    enum Box { Base = 0, Ours = 1, Theirs = 2, Output = 3 };
    enum Column { Key, Field, BaseValue, OursValue, TheirsValue, Kind, Keep, ColumnCount };

    Merge3Model(RunModel& run, frame::Dialogs& dialogs, const foxpro::TextLocale& locale,
                frame::SettingsStore& store);
    ~Merge3Model();
    Merge3Model(const Merge3Model&) = delete;
    Merge3Model& operator=(const Merge3Model&) = delete;

    Merge3View view;

    void Form_Load();
    // Opening the window from a run: ours is Table #1, theirs Table #2 and
    // the merged table newName beside ours, each unless its box holds a text
    // of the user's.
    void startFrom(const std::string& newName);

    // A box edited by the user.  A table box changed forgets the latest run.
    void boxChange(int box, const std::string& text);
    const std::string& boxText(int box) const { return boxes_[box].text; }
    // "..." of a box: the open dialog for a table, the save dialog for the
    // merged table.
    void browse(int box);

    // "Pair records by:" (Key, Content or Auto) and the key fields as typed
    // ("ID" or "ID, LINE"); either forgets the latest run.
    void choosePairing(compare::Pairing by);
    void keyFieldsChange(const std::string& text);
    compare::Pairing pairing() const { return pairing_; }

    // "Options...": the comparison options of ours' and theirs' tables (as
    // the table-choice window keeps them for that pair).
    void Options_Click();
    // "Run": opens the three tables read-only and merges them.
    void Run_Click();
    // "Keep Ours" / "Keep Theirs" / "Keep Base" for the selected rows, and
    // "All Ours" / "All Theirs".  Base where base holds no such record or
    // value is refused for those rows, with a message.
    void keep(const std::vector<int>& rows, compare::MergeSide side);
    void keepAll(compare::MergeSide side);
    // "Type Value..." for the one selected row: the value the user types,
    // checked against the merged field as writing it would check it (too
    // long, not a number or date, a character the code page lacks: said,
    // and the conflict stays as it was).  ".NULL." is null; T, F, Y, N,
    // .T., .F., true and false are a logical field's values.  Refused for a
    // whole record's or a dropped field's conflict.
    void giveValue(const std::vector<int>& rows);
    // "Write": the merged table at the output path, refused while a
    // conflict has no side kept.
    void Write_Click();
    // "Stop", shown while Run or Write works: the work ends at its next
    // run of events, Run with no result, Write with no table.
    void Stop_Click();
    bool working() const { return working_; }
    void Back_Click();

    bool hasResult() const { return result_ != nullptr; }
    // Tells one run from the next (nullptr: none), for lists that keep
    // their selection while only the kept sides change.
    const void* resultIdentity() const { return result_.get(); }
    std::size_t conflictCount() const;
    std::size_t openConflicts() const;
    std::string cell(int row, int column) const;
    std::optional<compare::MergeSide> kept(int row) const;
    const std::string& outcome() const { return outcome_; }
    static const char* columnTitle(int column);
    static const char* boxName(int box);  // "base", "ours", "theirs", "merged table"

  private:
    struct Opened;
    struct BoxState {
        std::string text;
        int codePage = 0;      // the run's source's, while the box holds its table
        bool fromRun = false;  // filled from the run, not typed or chosen
    };
    void forgetRun();
    void setOutcome(std::string text);
    void message(const std::string& text);
    // Opens a box's table, or says why it cannot (false).
    bool open(int box, Opened& opened);
    bool pairingFor(const Opened* sides, compare::RecordPairing& pairing);
    bool allowed(std::size_t conflict, compare::MergeSide side) const;
    // The work's state while Run or Write goes on: set by a guard that also
    // ends the progress display however the work ends.
    struct Working;
    std::function<bool()> stopping();
    // The tables' warnings, each once, as the command line tells them.
    std::string tableWarnings(const Opened* sides) const;

    RunModel& run_;
    frame::Dialogs& dialogs_;
    const foxpro::TextLocale& locale_;
    frame::SettingsStore& store_;
    BoxState boxes_[4];
    compare::Pairing pairing_ = compare::Pairing::Auto;
    std::string keyFieldsText_;
    std::string outcome_;
    std::string runOutcome_;  // the latest run's outcome, before what Write added
    bool working_ = false;
    bool stopRequested_ = false;
    // The latest run: its tables stay open until the next, for Write.
    std::unique_ptr<Opened[]> sides_;
    std::unique_ptr<compare::Merge3Result> result_;
    std::vector<std::optional<compare::MergeSide>> kept_;
    std::vector<foxpro::Literal> given_;  // per conflict: the value typed (MergeSide::Given)
    std::vector<std::string> givenText_;  // and as typed
};

// The conflict kinds as the window names them: "both changed", ...
const char* conflictKindText(compare::ConflictKind kind);

}  // namespace quorvel::wizard
