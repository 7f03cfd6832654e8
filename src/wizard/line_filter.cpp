#include "wizard/line_filter.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace quorvel::wizard {

namespace {

using compare::DifferenceKind;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A whole number of 1 to 18 digits, else -1.
std::int64_t wholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 18) return -1;
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    return error == std::errc() && end == text.data() + text.size() && text.front() != '-' ? n : -1;
}

int kindIndex(DifferenceKind kind) {
    return static_cast<int>(kind);
}

}  // namespace

bool LineCriteria::filters() const {
    return !changed || !added || !deleted || !missingField || field >= 0 ||
           !trimmed(search).empty();
}

std::string groupedNumber(std::int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

bool containsFolded(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    if (text.size() < needle.size()) return false;
    const char first = needle.front();
    const char upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        // Find the next place where the first letter stands, in either case.
        const void* a = std::memchr(text.data() + i, first, last - i + 1);
        const void* b =
            upper == first ? nullptr : std::memchr(text.data() + i, upper, last - i + 1);
        if (a == nullptr && b == nullptr) return false;
        const char* at = static_cast<const char*>(
            a == nullptr   ? b
            : b == nullptr ? a
                           : std::min(static_cast<const char*>(a), static_cast<const char*>(b)));
        i = static_cast<std::size_t>(at - text.data());
        std::size_t k = 1;
        while (k < needle.size() && lowerAscii(text[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

LineFilter::LineFilter(ResultList& list) : list_(list) {
    list_.addObserver(this);
    rowsAppended(list_.count());
}

LineFilter::~LineFilter() {
    list_.removeObserver(this);
}

void LineFilter::prepare() {
    all_ = !criteria_.filters();
    search_ = Search();
    std::string_view text = trimmed(criteria_.search);
    if (text.empty()) return;
    search_.active = true;
    std::string lower;
    for (char c : text) lower += lowerAscii(c);
    std::string_view rest = lower;
    if (rest.starts_with("record ")) {
        rest = trimmed(rest.substr(7));
        search_.recordOnly = true;
    } else if (rest.starts_with("#")) {
        rest = trimmed(rest.substr(1));
        search_.recordOnly = true;
    }
    search_.record = wholeNumber(rest);
    // "record abc" is no record number: the text as typed is searched.
    if (search_.record < 0) search_.recordOnly = false;
    search_.needle = search_.recordOnly ? std::string(rest) : lower;
    // A field name is matched once, not once per line.
    for (const auto& name : list_.fieldNames())
        search_.fieldMatches.push_back(containsFolded(name, search_.needle) ? 1 : 0);
}

bool LineFilter::passes(const compare::Difference& d) const {
    switch (d.kind) {
        case DifferenceKind::Changed:
            if (!criteria_.changed) return false;
            break;
        case DifferenceKind::Added:
            if (!criteria_.added) return false;
            break;
        case DifferenceKind::Deleted:
            if (!criteria_.deleted) return false;
            break;
        case DifferenceKind::MissingField:
            if (!criteria_.missingField) return false;
            break;
    }
    if (criteria_.field >= 0 && d.field != criteria_.field) return false;
    if (!search_.active) return true;
    if (search_.record >= 0 && (d.record1 == search_.record || d.record2 == search_.record))
        return true;
    if (search_.recordOnly) return false;
    if (d.field >= 0 && static_cast<std::size_t>(d.field) < search_.fieldMatches.size() &&
        search_.fieldMatches[static_cast<std::size_t>(d.field)])
        return true;
    return d.kind == DifferenceKind::Changed &&
           (containsFolded(d.value1, search_.needle) || containsFolded(d.value2, search_.needle));
}

void LineFilter::take(int from, int to) {
    for (int row = from; row < to; ++row) {
        const compare::Difference d = list_.difference(row);
        ++kindCounts_[kindIndex(d.kind)];
        if (d.field >= 0) {
            const auto field = static_cast<std::size_t>(d.field);
            if (fieldCounts_.size() <= field) fieldCounts_.resize(field + 1, 0);
            ++fieldCounts_[field];
        }
        if (!all_ && passes(d)) shown_.push_back(static_cast<std::uint32_t>(row));
    }
}

void LineFilter::setCriteria(LineCriteria criteria) {
    criteria_ = std::move(criteria);
    prepare();
    std::vector<std::uint32_t>().swap(shown_);
    if (!all_) {
        for (int row = 0; row < total_; ++row)
            if (passes(list_.difference(row))) shown_.push_back(static_cast<std::uint32_t>(row));
    }
    for (Observer* o : observers_) o->rowsReset();
}

int LineFilter::count() const {
    return all_ ? total_ : static_cast<int>(shown_.size());
}

int LineFilter::listRow(int shown) const {
    return all_ ? shown : static_cast<int>(shown_.at(static_cast<std::size_t>(shown)));
}

int LineFilter::shownRow(int listRow) const {
    if (listRow < 0 || listRow >= total_) return -1;
    if (all_) return listRow;
    const auto at =
        std::lower_bound(shown_.begin(), shown_.end(), static_cast<std::uint32_t>(listRow));
    return at != shown_.end() && *at == static_cast<std::uint32_t>(listRow)
               ? static_cast<int>(at - shown_.begin())
               : -1;
}

std::string LineFilter::countText() const {
    const std::string lines = total_ == 1 ? " line" : " lines";
    if (all_) return groupedNumber(total_) + lines;
    return groupedNumber(count()) + " of " + groupedNumber(total_) + lines;
}

std::vector<LineFilter::FieldCount> LineFilter::fieldCounts() const {
    std::vector<FieldCount> counts;
    const auto& names = list_.fieldNames();
    for (std::size_t i = 0; i < fieldCounts_.size(); ++i) {
        if (fieldCounts_[i] == 0) continue;
        counts.push_back(
            {static_cast<int>(i), i < names.size() ? names[i] : std::string(), fieldCounts_[i]});
    }
    return counts;
}

int LineFilter::kindCount(DifferenceKind kind) const {
    return kindCounts_[kindIndex(kind)];
}

void LineFilter::setShownChecked(bool checked) {
    if (all_) {
        list_.setAllChecked(checked);
        return;
    }
    list_.setRowsChecked(shown_, checked);
}

void LineFilter::rowsCleared() {
    std::vector<std::uint32_t>().swap(shown_);
    std::vector<int>().swap(fieldCounts_);
    std::fill(std::begin(kindCounts_), std::end(kindCounts_), 0);
    total_ = 0;
    // The field names of the search belong to the list's differences.
    prepare();
    for (Observer* o : observers_) o->rowsReset();
}

void LineFilter::rowsAppended(int count) {
    if (count <= total_) return;
    // A new run's differences: their field names are others.
    if (total_ == 0) prepare();
    const int before = this->count();
    take(total_, count);
    total_ = count;
    if (this->count() > before)
        for (Observer* o : observers_) o->rowsAppended(this->count());
}

void LineFilter::tickChanged(int row) {
    const int shown = shownRow(row);
    if (shown < 0) return;
    for (Observer* o : observers_) o->tickChanged(shown);
}

void LineFilter::allTicksChanged() {
    for (Observer* o : observers_) o->allTicksChanged();
}

void LineFilter::addObserver(Observer* observer) {
    observers_.push_back(observer);
}

void LineFilter::removeObserver(Observer* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace quorvel::wizard
