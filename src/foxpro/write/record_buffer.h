#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "foxpro/write/atomic_file.h"

namespace quorvel::foxpro {

// The records of a table that a long batch of statements writes, held in
// pages of whole records: a page is read in one piece when a record of it
// is first needed, changed in memory, and written back in one piece, pages
// in file order, when the pages held would pass their limit or on flush().
// Records appended past the file's end go into the pages the same way.
// Nothing reaches the file before flush() except whole pages.
class RecordBuffer {
  public:
    // fileRecords: how many records the file holds from firstOffset on.
    // A page holds as many whole records as fit pageBytes (one at least).
    RecordBuffer(FileSink& sink, std::uint64_t firstOffset, std::uint64_t recordLength,
                 std::int64_t fileRecords, std::uint64_t pageBytes = 1u << 20);

    // Record index, read only.  index is below the records held.
    const std::uint8_t* read(std::int64_t index) { return at(index, false); }
    // Record index, to be changed: written back by the next flush.
    std::uint8_t* change(std::int64_t index) { return at(index, true); }
    // Appends a record after the last one held (the file's or an appended one).
    void append(const std::uint8_t* record);

    std::int64_t records() const { return records_; }
    // Writes every changed page, in file order.
    void flush();

  private:
    struct Page {
        std::vector<std::uint8_t> bytes;
        std::int64_t valid = 0;  // records of the page that exist
        bool dirty = false;
    };
    std::uint8_t* at(std::int64_t index, bool changing);
    Page& page(std::int64_t number);

    FileSink& sink_;
    std::uint64_t firstOffset_;
    std::uint64_t recordLength_;
    std::int64_t perPage_;
    std::int64_t fileRecords_;  // what the file itself holds
    std::int64_t records_;      // with the appended ones
    std::map<std::int64_t, Page> pages_;
    std::vector<std::vector<std::uint8_t>> spare_;  // bytes of pages let go
};

}  // namespace quorvel::foxpro
