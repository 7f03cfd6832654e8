#include "compare/difference_list.h"

#include <limits>
#include <stdexcept>

namespace quorvel::compare {

DifferenceList::DifferenceList(std::string table2, std::vector<std::string> fieldNames)
    : table2_(std::move(table2)), fieldNames_(std::move(fieldNames)) {}

Difference DifferenceList::operator[](std::size_t index) const {
    const Entry& e = entries_[index];
    Difference d;
    d.kind = e.kind;
    d.record1 = e.record1;
    d.record2 = e.record2;
    d.table2 = table2_;
    if (e.field >= 0) {
        d.field = e.field;
        d.fieldName = fieldNames_[static_cast<std::size_t>(e.field)];
    }
    if (e.kind == DifferenceKind::Changed) {
        const std::string_view texts(texts_);
        d.value1 = texts.substr(e.text, e.length1);
        d.value2 = texts.substr(e.text + e.length1, e.length2);
        d.null1 = (e.nulls & 1) != 0;
        d.null2 = (e.nulls & 2) != 0;
    }
    return d;
}

void DifferenceList::setSink(Sink sink, bool keep) {
    sink_ = std::move(sink);
    keep_ = keep;
}

// After every add: the count, then the sink.
void DifferenceList::added() {
    ++found_;
    if (!sink_) return;
    sink_((*this)[entries_.size() - 1]);
    if (keep_) return;
    // The capacity stays: the next differences reuse it.
    entries_.clear();
    texts_.clear();
}

std::uint32_t DifferenceList::recordNumber(std::int64_t record) {
    if (record < 1 || record > std::numeric_limits<std::uint32_t>::max())
        throw std::out_of_range("record number " + std::to_string(record) + " out of range");
    return static_cast<std::uint32_t>(record);
}

std::int32_t DifferenceList::fieldPosition(int field) const {
    if (field < 0 || static_cast<std::size_t>(field) >= fieldNames_.size())
        throw std::out_of_range("field position " + std::to_string(field) + " out of range");
    return field;
}

void DifferenceList::addDeleted(std::int64_t record1) {
    Entry e;
    e.kind = DifferenceKind::Deleted;
    e.record1 = recordNumber(record1);
    entries_.push_back(e);
    added();
}

void DifferenceList::addAdded(std::int64_t record2) {
    Entry e;
    e.kind = DifferenceKind::Added;
    e.record2 = recordNumber(record2);
    entries_.push_back(e);
    added();
}

void DifferenceList::addChanged(std::int64_t record1, std::int64_t record2, int field,
                                std::string_view value1, bool null1, std::string_view value2,
                                bool null2) {
    if (sink_ && !keep_) {
        // Handed on as it is, with the caller's texts: a list that keeps
        // nothing copies no value.
        Difference d;
        d.kind = DifferenceKind::Changed;
        d.record1 = recordNumber(record1);
        d.record2 = recordNumber(record2);
        d.field = fieldPosition(field);
        d.fieldName = fieldNames_[static_cast<std::size_t>(field)];
        d.value1 = value1;
        d.value2 = value2;
        d.null1 = null1;
        d.null2 = null2;
        d.table2 = table2_;
        ++found_;
        sink_(d);
        return;
    }
    constexpr auto kLimit = std::numeric_limits<std::uint32_t>::max();
    if (value1.size() > kLimit || value2.size() > kLimit)
        throw std::length_error("a value text of 4 GB or more");
    Entry e;
    e.kind = DifferenceKind::Changed;
    e.record1 = recordNumber(record1);
    e.record2 = recordNumber(record2);
    e.field = fieldPosition(field);
    e.text = texts_.size();
    e.length1 = static_cast<std::uint32_t>(value1.size());
    e.length2 = static_cast<std::uint32_t>(value2.size());
    e.nulls = static_cast<std::uint8_t>((null1 ? 1 : 0) | (null2 ? 2 : 0));
    // Entry first: a failed push_back then leaves the texts as they were.
    entries_.push_back(e);
    try {
        texts_.append(value1).append(value2);
    } catch (...) {
        entries_.pop_back();
        texts_.resize(e.text);
        throw;
    }
    added();
}

void DifferenceList::addMissingField(std::int64_t record1, std::int64_t record2, int field) {
    Entry e;
    e.kind = DifferenceKind::MissingField;
    // 0 and 0: a line that stands once for the whole table.
    const bool once = record1 == 0 && record2 == 0;
    e.record1 = once ? 0 : recordNumber(record1);
    e.record2 = once ? 0 : recordNumber(record2);
    e.field = fieldPosition(field);
    entries_.push_back(e);
    added();
}

void DifferenceList::clear() {
    found_ = 0;
    std::deque<Entry>().swap(entries_);
    std::string().swap(texts_);
}

}  // namespace quorvel::compare
