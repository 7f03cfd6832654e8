#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compare/difference_list.h"

namespace quorvel::wizard {

// One of the two lists of the results and new-table windows ("Field
// Differences" or "Added / Deleted Records"): rows that are differences of
// the run's list, each with its tick.  Both windows show the same list, the
// results window without the ticks.  A row costs five bytes; its line text
// is rendered only when asked for.
//
// Appends are announced in batches: append() only stores the row, flush()
// tells the observers about every row appended since the last flush, so a
// million rows reach a view in a few notices.
class ResultList {
  public:
    explicit ResultList(const compare::DifferenceList& differences) : differences_(differences) {}
    ResultList(const ResultList&) = delete;
    ResultList& operator=(const ResultList&) = delete;

    // The rows, announced and pending alike.
    int count() const { return static_cast<int>(rows_.size()); }
    compare::Difference difference(int row) const { return differences_[rows_.at(index(row))]; }
    std::string text(int row) const;
    // Table #1's field names, by the position a difference gives.
    const std::vector<std::string>& fieldNames() const { return differences_.fieldNames(); }
    bool checked(int row) const { return ticks_.at(index(row)) != 0; }

    void setChecked(int row, bool checked);
    // Every row at once, announced by one allTicksChanged().
    void setAllChecked(bool checked);
    // The given rows (ascending, each < count()) at once, announced the
    // same way: a filter's "Tick shown" over a million rows.
    void setRowsChecked(const std::vector<std::uint32_t>& rows, bool checked);

    // Difference `index` of the run's list as a new row at the end, ticked.
    void append(std::size_t index);
    void flush();
    void clear();

    // What a view of the list is told.  A new row count is announced only
    // by rowsAppended(); rowsCleared() comes after the rows are gone.
    class Observer {
      public:
        virtual ~Observer() = default;
        virtual void rowsCleared() {}
        virtual void rowsAppended(int count) { (void)count; }
        virtual void tickChanged(int row) { (void)row; }
        virtual void allTicksChanged() {}
    };
    void addObserver(Observer* observer);
    void removeObserver(Observer* observer);

  private:
    static std::size_t index(int row) { return static_cast<std::size_t>(row); }

    const compare::DifferenceList& differences_;
    std::vector<std::uint32_t> rows_;  // indexes in differences_
    std::vector<std::uint8_t> ticks_;
    int announced_ = 0;
    std::vector<Observer*> observers_;
};

}  // namespace quorvel::wizard
