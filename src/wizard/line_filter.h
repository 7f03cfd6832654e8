#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compare/difference.h"
#include "wizard/result_list.h"

namespace quorvel::wizard {

// What a list's filter bar asks for.  The default lets every line through.
struct LineCriteria {
    bool changed = true;
    bool added = true;
    bool deleted = true;
    bool missingField = true;
    // A field of Table #1 by position; -1 for every field.  Lines without a
    // field (added and deleted records) pass only when it is -1.
    int field = -1;
    // As typed.  A whole number matches lines of that record number (in
    // either table) as well as texts; "record 12" or "#12" the number only;
    // any other text matches field names and values that contain it
    // (letters A to Z without regard to case).  Blank: no search.
    std::string search;

    bool filters() const;
};

// The lines of one list that a filter lets through, in list order, with
// the counts that the filter bar shows.  Follows its list: rows appended
// are filtered as they are announced, a cleared list empties it.  A million
// lines are filtered in one pass over their typed differences, without
// rendering a line text.
class LineFilter : private ResultList::Observer {
  public:
    explicit LineFilter(ResultList& list);
    ~LineFilter() override;
    LineFilter(const LineFilter&) = delete;
    LineFilter& operator=(const LineFilter&) = delete;

    ResultList& list() { return list_; }
    const ResultList& list() const { return list_; }

    const LineCriteria& criteria() const { return criteria_; }
    // Filters the list's announced rows anew; observers are told by one
    // rowsReset().
    void setCriteria(LineCriteria criteria);

    // The rows shown, and the list row of shown row i.
    int count() const;
    int listRow(int shown) const;
    // The shown row of a list row, -1 when the filter hides it.
    int shownRow(int listRow) const;
    // The list's rows that the filter has seen (announced ones).
    int total() const { return total_; }

    // "50,112 lines", or while filtering "1,204 of 50,112 lines".
    std::string countText() const;

    // How many lines of the list name each field (changed and missing-field
    // lines), for the field choice: fields without lines are left out.
    struct FieldCount {
        int field = -1;
        std::string name;
        int count = 0;
    };
    std::vector<FieldCount> fieldCounts() const;
    int kindCount(compare::DifferenceKind kind) const;

    // "Tick shown" / "Untick shown": the shown rows only, in one notice.
    void setShownChecked(bool checked);

    class Observer {
      public:
        virtual ~Observer() = default;
        // The shown rows are others now (new criteria, a cleared list).
        virtual void rowsReset() {}
        // count: the shown rows now, more than before.
        virtual void rowsAppended(int count) { (void)count; }
        virtual void tickChanged(int shown) { (void)shown; }
        virtual void allTicksChanged() {}
    };
    void addObserver(Observer* observer);
    void removeObserver(Observer* observer);

  private:
    // The search as parsed once per criteria.
    struct Search {
        bool active = false;
        std::string needle;        // lower-case ASCII
        std::int64_t record = -1;  // a record number to match
        bool recordOnly = false;
        std::vector<std::uint8_t> fieldMatches;  // per field: its name contains needle
    };

    void rowsCleared() override;
    void rowsAppended(int count) override;
    void tickChanged(int row) override;
    void allTicksChanged() override;

    void prepare();
    bool passes(const compare::Difference& d) const;
    void take(int from, int to);

    ResultList& list_;
    LineCriteria criteria_;
    Search search_;
    bool all_ = true;  // no criterion: shown row i is list row i
    std::vector<std::uint32_t> shown_;
    int total_ = 0;
    std::vector<int> fieldCounts_;
    int kindCounts_[4] = {0, 0, 0, 0};
    std::vector<Observer*> observers_;
};

// n with "," between groups of three digits: "50,112".
std::string groupedNumber(std::int64_t n);

// Whether text contains needle (lower-case), letters A to Z compared
// without case.
bool containsFolded(std::string_view text, std::string_view needle);

}  // namespace quorvel::wizard
