#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "compare/difference.h"

namespace quorvel::compare {

// The differences of one comparison in the order the walk found them.
// Compact, because a comparison may find millions: each difference is one
// 32-byte entry, the value texts of all of them lie in one buffer, and the
// field names and Table #2's name are held once for the whole list.  The
// line texts are rendered only when asked for (difference_line.h).
class DifferenceList {
  public:
    DifferenceList() = default;
    // table2: Table #2's name as chosen; fieldNames: Table #1's fields as it
    // spells them, by position.
    DifferenceList(std::string table2, std::vector<std::string> fieldNames);

    // The differences the list holds; see found() for those passed on.
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // Every difference added since the list was made, held or not.
    std::size_t found() const { return found_; }

    // Hands every difference to sink as it is added (its texts valid during
    // the call); with keep false the list then lets it go, so that its
    // memory stays flat however many there are (a changed value reaches the
    // sink without being copied).  With keep, a sink that throws leaves the
    // difference in the list.
    using Sink = std::function<void(const Difference&)>;
    void setSink(Sink sink, bool keep);
    // The difference at index (< size()).  Its texts are views into this
    // list, valid until the list is changed.
    Difference operator[](std::size_t index) const;
    // Its kind alone, for a walk over the list that sorts by kind.
    DifferenceKind kind(std::size_t index) const { return entries_[index].kind; }

    const std::string& table2() const { return table2_; }
    const std::vector<std::string>& fieldNames() const { return fieldNames_; }

    // Record numbers are 1-based and below 2^32 (a table holds no more
    // records); field is a position in fieldNames().  Throws
    // std::out_of_range otherwise.  A Missing-field difference that stands
    // once for the tables, not for a record pair, has record numbers 0 and 0.
    void addDeleted(std::int64_t record1);
    void addAdded(std::int64_t record2);
    void addChanged(std::int64_t record1, std::int64_t record2, int field, std::string_view value1,
                    bool null1, std::string_view value2, bool null2);
    void addMissingField(std::int64_t record1, std::int64_t record2, int field);

    // Empties the list and gives its memory back.
    void clear();

    class const_iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Difference;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Difference;

        const_iterator(const DifferenceList* list, std::size_t index)
            : list_(list), index_(index) {}
        Difference operator*() const { return (*list_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

      private:
        const DifferenceList* list_;
        std::size_t index_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, entries_.size()}; }

  private:
    struct Entry {
        std::uint64_t text = 0;  // offset of value1 in texts_; value2 follows it
        std::uint32_t record1 = 0;
        std::uint32_t record2 = 0;
        std::uint32_t length1 = 0;
        std::uint32_t length2 = 0;
        std::int32_t field = -1;
        DifferenceKind kind = DifferenceKind::Changed;
        std::uint8_t nulls = 0;  // bit 0: value 1 was null, bit 1: value 2
    };
    static_assert(sizeof(Entry) == 32);

    static std::uint32_t recordNumber(std::int64_t record);
    void added();
    std::int32_t fieldPosition(int field) const;

    std::string table2_;
    std::vector<std::string> fieldNames_;
    // Grows without moving what it holds: a list of millions neither copies
    // itself nor faults in twice its memory on the way.
    std::deque<Entry> entries_;
    std::string texts_;
    std::size_t found_ = 0;
    Sink sink_;
    bool keep_ = true;
};

}  // namespace quorvel::compare
