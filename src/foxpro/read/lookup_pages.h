#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvel::foxpro {

class TableReader;

// Keeps the map of a table read in another order than its own (the
// partners of a pairing, looked up one by one) from growing to the whole
// file: the table is seen as stretches of kReleaseStep bytes, and when more
// than a few are mapped, the one read longest ago is given back.  A walk in
// some order of its own, backwards say, or in pieces, never comes back to
// a stretch given back and stays at those few.  Records read in no order at
// all would come back to them again and again: once that is seen, nothing
// more is given back and the map grows as before.
class LookupPages {
  public:
    explicit LookupPages(const TableReader& table, int kept = 2);

    // The record at `record` (bytes of the table's map, as a record set's
    // rawRecord gives them) is about to be read.
    void reading(std::span<const std::uint8_t> record) {
        const auto at = static_cast<std::size_t>(record.data() - base_);
        if (at / stretchBytes_ != current_) enter(at / stretchBytes_);
    }

  private:
    void enter(std::size_t stretch);

    const TableReader& table_;
    const std::uint8_t* base_ = nullptr;  // stored record 0
    std::size_t stretchBytes_ = 1;        // whole records
    std::size_t perStretch_ = 1;          // records
    std::size_t current_ = ~std::size_t{0};
    std::vector<std::uint64_t>
        lastRead_;  // per stretch: when it was last entered, 0 while not mapped
    std::vector<bool> givenBack_;
    std::uint64_t clock_ = 0;
    int kept_;
    int mapped_ = 0;
    int comeBack_ = 0;  // stretches entered again after they were given back
    bool givingBack_ = true;
};

}  // namespace quorvel::foxpro
