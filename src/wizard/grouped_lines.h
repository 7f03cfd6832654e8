#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wizard/line_filter.h"

namespace quorvel::wizard {

// The grouped view of the field differences: one row per record pair, its
// changed fields as columns, over the lines a filter shows.  Only Changed
// lines take part (a Missing-field line belongs to no column of values);
// a pair's lines stand together in the list, in walk order.
class GroupedLines {
  public:
    explicit GroupedLines(LineFilter& filter) : filter_(filter) {}

    // Groups the filter's shown lines anew (one pass over them).
    void rebuild();

    int groupCount() const { return static_cast<int>(starts_.size()); }
    // The fields that have a change in some group, in Table #1's order.
    int columnCount() const { return static_cast<int>(columns_.size()); }
    int columnField(int column) const { return columns_.at(static_cast<std::size_t>(column)); }
    const std::string& columnName(int column) const;

    std::int64_t record1(int group) const;
    std::int64_t record2(int group) const;
    // The list rows of a group, in list order.
    std::vector<int> rows(int group) const;
    // The list row of the group's change in the column's field, -1 when
    // that field did not change in the pair.
    int cellRow(int group, int column) const;
    // The group holding a list row, -1 when none does.
    int groupOf(int listRow) const;
    // Shown lines left out: Missing-field lines.
    int leftOut() const { return leftOut_; }

    // 0: no line of the group ticked, 1: some, 2: all.
    int tickState(int group) const;
    void setGroupChecked(int group, bool checked);

  private:
    LineFilter& filter_;
    std::vector<std::uint32_t> rows_;    // list rows of the Changed lines shown
    std::vector<std::uint32_t> starts_;  // per group: its first index in rows_
    std::vector<int> columns_;
    int leftOut_ = 0;
};

}  // namespace quorvel::wizard
