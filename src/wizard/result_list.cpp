#include "wizard/result_list.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>

#include "compare/difference_line.h"

namespace quorvel::wizard {

std::string ResultList::text(int row) const {
    return compare::lineText(difference(row));
}

void ResultList::setChecked(int row, bool checked) {
    if (row < 0 || row >= count()) return;
    ticks_[index(row)] = checked ? 1 : 0;
    for (Observer* o : observers_) o->tickChanged(row);
}

void ResultList::setAllChecked(bool checked) {
    std::fill(ticks_.begin(), ticks_.end(), checked ? 1 : 0);
    for (Observer* o : observers_) o->allTicksChanged();
}

void ResultList::setRowsChecked(const std::vector<std::uint32_t>& rows, bool checked) {
    for (const std::uint32_t row : rows) ticks_.at(row) = checked ? 1 : 0;
    for (Observer* o : observers_) o->allTicksChanged();
}

void ResultList::append(std::size_t index) {
    // The windows' lists count their rows in int.
    if (index >= differences_.size() || index > UINT32_MAX ||
        rows_.size() >= static_cast<std::size_t>(INT_MAX))
        throw std::out_of_range("no room for difference " + std::to_string(index) + " in a list");
    rows_.push_back(static_cast<std::uint32_t>(index));
    ticks_.push_back(1);
}

void ResultList::flush() {
    if (announced_ == count()) return;
    announced_ = count();
    for (Observer* o : observers_) o->rowsAppended(announced_);
}

void ResultList::clear() {
    std::vector<std::uint32_t>().swap(rows_);
    std::vector<std::uint8_t>().swap(ticks_);
    announced_ = 0;
    for (Observer* o : observers_) o->rowsCleared();
}

void ResultList::addObserver(Observer* observer) {
    observers_.push_back(observer);
}

void ResultList::removeObserver(Observer* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace quorvel::wizard
