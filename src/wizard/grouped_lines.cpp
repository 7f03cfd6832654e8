#include "wizard/grouped_lines.h"

#include <algorithm>
#include <utility>

namespace quorvel::wizard {

void GroupedLines::rebuild() {
    rows_.clear();
    starts_.clear();
    columns_.clear();
    leftOut_ = 0;
    const ResultList& list = std::as_const(filter_).list();
    std::vector<std::uint8_t> changedFields;
    std::int64_t last1 = -1, last2 = -1;
    for (int shown = 0; shown < filter_.count(); ++shown) {
        const int row = filter_.listRow(shown);
        const compare::Difference d = list.difference(row);
        if (d.kind != compare::DifferenceKind::Changed) {
            ++leftOut_;
            continue;
        }
        if (d.record1 != last1 || d.record2 != last2) {
            starts_.push_back(static_cast<std::uint32_t>(rows_.size()));
            last1 = d.record1;
            last2 = d.record2;
        }
        rows_.push_back(static_cast<std::uint32_t>(row));
        const auto field = static_cast<std::size_t>(d.field);
        if (changedFields.size() <= field) changedFields.resize(field + 1, 0);
        changedFields[field] = 1;
    }
    for (std::size_t f = 0; f < changedFields.size(); ++f)
        if (changedFields[f]) columns_.push_back(static_cast<int>(f));
}

const std::string& GroupedLines::columnName(int column) const {
    static const std::string none;
    const auto& names = filter_.list().fieldNames();
    const auto field = static_cast<std::size_t>(columnField(column));
    return field < names.size() ? names[field] : none;
}

std::vector<int> GroupedLines::rows(int group) const {
    const auto g = static_cast<std::size_t>(group);
    const std::size_t from = starts_.at(g);
    const std::size_t to = g + 1 < starts_.size() ? starts_[g + 1] : rows_.size();
    return {rows_.begin() + static_cast<std::ptrdiff_t>(from),
            rows_.begin() + static_cast<std::ptrdiff_t>(to)};
}

std::int64_t GroupedLines::record1(int group) const {
    return filter_.list()
        .difference(static_cast<int>(rows_[starts_.at(static_cast<std::size_t>(group))]))
        .record1;
}

std::int64_t GroupedLines::record2(int group) const {
    return filter_.list()
        .difference(static_cast<int>(rows_[starts_.at(static_cast<std::size_t>(group))]))
        .record2;
}

int GroupedLines::cellRow(int group, int column) const {
    const int field = columnField(column);
    for (const int row : rows(group))
        if (filter_.list().difference(row).field == field) return row;
    return -1;
}

int GroupedLines::groupOf(int listRow) const {
    const auto at =
        std::lower_bound(rows_.begin(), rows_.end(), static_cast<std::uint32_t>(listRow));
    if (at == rows_.end() || *at != static_cast<std::uint32_t>(listRow)) return -1;
    const auto index = static_cast<std::uint32_t>(at - rows_.begin());
    const auto group =
        std::upper_bound(starts_.begin(), starts_.end(), index) - starts_.begin() - 1;
    return static_cast<int>(group);
}

int GroupedLines::tickState(int group) const {
    int ticked = 0;
    const std::vector<int> members = rows(group);
    for (const int row : members) ticked += filter_.list().checked(row) ? 1 : 0;
    return ticked == 0 ? 0 : ticked == static_cast<int>(members.size()) ? 2 : 1;
}

void GroupedLines::setGroupChecked(int group, bool checked) {
    std::vector<std::uint32_t> members;
    for (const int row : rows(group)) members.push_back(static_cast<std::uint32_t>(row));
    filter_.list().setRowsChecked(members, checked);
}

}  // namespace quorvel::wizard
