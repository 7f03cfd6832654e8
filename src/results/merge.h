#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/source_descriptor.h"
#include "frame/dialogs.h"

namespace quorvel::results {

// One list of the new-table window as the merge sees it: the text and the
// tick of each line, asked for only when the merge reaches that line, so a
// tick changed while the merge runs counts if the line is still ahead.
// Indexes are 0-based.  count() is asked again on every step, so a list that
// shrinks under the merge ends the pass early instead of reading past it.
class MergeLines {
  public:
    virtual ~MergeLines() = default;
    virtual int count() const = 0;
    virtual std::string text(int index) const = 0;
    virtual bool checked(int index) const = 0;
};

// What the merge starts from; read once when it starts.
struct MergeRequest {
    std::string newTableName;  // the name box, used unchanged
    std::string Table1Name;
    std::string Table2Name;
    data::SourceDescriptor source1;  // carries the copy, the updates and the inserts
    data::SourceDescriptor source2;  // only read from
};

struct MergeCallbacks {
    // Lets pending window events run.  The merge calls it between lines and
    // fields, but not more often than every ~20 ms.  May be empty.
    std::function<void()> processEvents;
    // Told about every failed step (after its error report): the line's text
    // (empty for the connections and the copy) and the failure's description.
    // May be empty.
    std::function<void(const std::string& line, const std::string& description)> failed;
};

struct MergeOutcome {
    bool started = false;    // false: another merge was running, nothing was done
    bool tableMade = false;  // the copy of Table #1 was made under the new name
    std::int64_t fieldsUpdated = 0;
    std::int64_t recordsAdded = 0;
    std::int64_t linesFailed = 0;  // ticked lines that could not be applied
    std::int64_t failures = 0;     // every reported failure, the copy and connections included
};

// The merge behind Form4's "Create": copies Table #1 under the new name
// through source #1, applies every ticked "changed" line of fieldDifferences
// as an update with Table #2's value of that field in that record, then
// inserts every ticked "added" line of addedDeleted as Table #2's record.
// Failures are shown as error reports (location Form4.PushButton3_Click) and
// the merge goes on with the next line; a failed copy (or connection) ends
// it before any update.  "Done." is shown only when the table was made.
// Called again while it runs (from processEvents), it returns at once with
// started == false.
MergeOutcome MergeIntoNewTable(const MergeRequest& request, const MergeLines& fieldDifferences,
                               const MergeLines& addedDeleted, frame::Dialogs& dialogs,
                               const MergeCallbacks& callbacks = {});

// The location under which the merge reports its failures.
inline constexpr const char* kMergeLocation = "Form4.PushButton3_Click";

}  // namespace quorvel::results
