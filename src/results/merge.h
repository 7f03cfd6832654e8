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
};

struct MergeCallbacks {
    // Lets pending window events run.  The merge calls it between lines and
    // fields, but not more often than every ~20 ms.  May be empty.
    std::function<void()> processEvents;
    // Told about every failed step (after its error report): the line text
    // of the difference (empty for the connections and the copy) and the
    // failure's description.  May be empty.
    std::function<void(const std::string& line, const std::string& description)> failed;
};

struct MergeOutcome {
    bool tableMade = false;  // the copy of Table #1 was made under the new name
    std::int64_t fieldsUpdated = 0;
    std::int64_t recordsAdded = 0;
    std::int64_t linesFailed = 0;  // ticked differences that could not be applied
    std::int64_t failures = 0;     // every reported failure, the copy and connections included
};

// The merge behind Form4's "Create": copies Table #1 under the new name
// through source #1, applies every ticked Changed difference of
// fieldDifferences as an update of its field in record record1 with Table
// #2's own value of that field in record record2, then inserts Table #2's
// record record2 for every ticked Added difference of addedDeleted.  Other
// kinds change nothing.  The differences are applied by kind, record numbers
// and field, never by their line text.  Failures are shown as error reports
// (location Form4.PushButton3_Click) and the merge goes on with the next
// difference; a failed copy (or connection) ends it before any update.
// "Done." is shown only when the table was made.  The caller keeps a second
// merge from starting while one runs (its processEvents lets windows work).
MergeOutcome MergeIntoNewTable(const MergeRequest& request, const MergeList& fieldDifferences,
                               const MergeList& addedDeleted, frame::Dialogs& dialogs,
                               const MergeCallbacks& callbacks = {});

// The location under which the merge reports its failures.
inline constexpr const char* kMergeLocation = "Form4.PushButton3_Click";

}  // namespace quorvel::results
