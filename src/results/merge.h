#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compare/difference_list.h"
#include "data/source_descriptor.h"
#include "frame/dialogs.h"

namespace quorvel::results {

// One list of the new-table window as the merge sees it: the difference
// and the tick of each line, asked for only when the merge reaches that
// line, so a tick changed while the merge runs counts if the line is still
// ahead.  Indexes are 0-based.  count() is asked again on every step, so a
// list that shrinks under the merge ends the pass early instead of reading
// past it.  A difference's texts need only last until the next call.
class MergeList {
  public:
    virtual ~MergeList() = default;
    virtual int count() const = 0;
    virtual compare::Difference difference(int index) const = 0;
    virtual bool checked(int index) const = 0;
};

// The differences of one of the two lists (by kind), every one ticked or
// none: what the command-line tool hands the merge.  The list of
// differences must outlive it.
class ListOfKind : public MergeList {
  public:
    ListOfKind(const compare::DifferenceList& differences, compare::LineList list, bool ticked);
    int count() const override { return static_cast<int>(rows_.size()); }
    compare::Difference difference(int index) const override {
        return differences_[rows_[static_cast<std::size_t>(index)]];
    }
    bool checked(int /*index*/) const override { return ticked_; }

  private:
    const compare::DifferenceList& differences_;
    std::vector<std::size_t> rows_;
    bool ticked_;
};

// What the merge starts from; read once when it starts.
struct MergeRequest {
    std::string newTableName;  // the name box, used unchanged
    std::string Table1Name;
    std::string Table2Name;
    data::SourceDescriptor source1;  // carries the copy, the updates and the inserts
    data::SourceDescriptor source2;  // only read from
    // An existing table of the new name, or any file of its set (a lone
    // memo file, index or .cpg), is replaced only when set (the window asks
    // first, the command-line tool wants --force); otherwise the merge fails
    // before it writes anything.
    bool replaceExisting = false;
    // The new table gets Table #1's structural index, rebuilt from its
    // final records; NEWNAME.prg beside it restores what could not be
    // carried, and with this set every tag.
    bool indexScript = false;
};

struct MergeCallbacks {
    // Lets pending window events run.  The merge calls it between lines and
    // fields, but not more often than every ~20 ms.  May be empty.
    std::function<void()> processEvents;
    // Told about every failed step (after its error report): the line text
    // of the difference (empty for the connections and the copy) and the
    // failure's description.  May be empty.
    std::function<void(const std::string& line, const std::string& description)> failed;
    // Asked before every line: true stops the merge there, and nothing is put
    // in place (the program is closing, Ctrl-C, "Stop").  May be empty.
    std::function<bool()> stopRequested;
    // Told how far the merge has got: the ticked lines it has reached and
    // the ticked lines of both lists when it started (a tick changed later
    // may make done pass total).  Called at the start, with processEvents,
    // and at the end.  May be empty.
    std::function<void(std::int64_t done, std::int64_t total)> progress;
    // Told what preparing the new table's folder left alone (replacement
    // journals it cannot trust, foxpro/table_replacement.h), and the tags
    // of Table #1's index the new table could not carry, one text each.
    // Empty: shown as a message with the exclamation icon.
    std::function<void(const std::string& text)> warning;
};

struct MergeOutcome {
    bool tableMade = false;  // the new table was put in place under its name
    bool stopped = false;    // stopRequested stopped it: no table was put in place
    std::int64_t fieldsUpdated = 0;
    std::int64_t recordsAdded = 0;
    std::int64_t linesFailed = 0;  // ticked differences that could not be applied
    std::int64_t failures = 0;     // every reported failure, the copy and connections included
};

// The merge behind Form4's "Create": copies Table #1 through source #1,
// applies every ticked Changed difference of
// fieldDifferences as an update of its field in record record1 with Table
// #2's own value of that field in record record2, then inserts Table #2's
// record record2 for every ticked Added difference of addedDeleted.  Other
// kinds change nothing.  The differences are applied by kind, record numbers
// and field, never by their line text.  All of it happens to a table under
// a hidden name in the folder where the new table goes (foxpro/new_table.h),
// which is put in place under the new name only at the end, memo file with
// it: a merge that fails before, is stopped or is killed leaves no new table
// and any earlier table of that name as it was.  The new table never
// replaces a file of Table #1 or Table #2.  Failures are shown as error
// reports (location Form4.PushButton3_Click) and the merge goes on with the
// next difference; a failed copy (or connection) ends it before any update.
// "Done." is shown only when the table is in place.  The caller keeps a
// second merge from starting while one runs (its processEvents lets windows
// work).
MergeOutcome MergeIntoNewTable(const MergeRequest& request, const MergeList& fieldDifferences,
                               const MergeList& addedDeleted, frame::Dialogs& dialogs,
                               const MergeCallbacks& callbacks = {});

// The files of the new table's set that are there already where the merge
// would put it (NAME.dbf, its memo file, index and .cpg, as paths, the
// table file first); none when there are none (or source #1 cannot be
// opened, which the merge then reports).  What the window asks about and
// the command-line tool refuses without --force.
std::vector<std::string> ExistingNewTableFiles(const MergeRequest& request);

// Why the new name is refused whatever the answer to the replace question
// (or --force): it is Table #1 or Table #2 or a file of theirs ("NAME is
// Table #1: choose another name for the new table."), or a file of its set
// that is there is not a regular file.  "" when the name may be used (or a
// source cannot be opened, which the merge then reports).
std::string NewTableNameRefusal(const MergeRequest& request);

// The location under which the merge reports its failures.
inline constexpr const char* kMergeLocation = "Form4.PushButton3_Click";

}  // namespace quorvel::results
