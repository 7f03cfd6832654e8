#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "foxpro/platform/file_stamp.h"

namespace quorvel::foxpro {

// A file's state, as the platform layer reads it.
using platform::FileStamp;
using platform::fileStampOf;

// Where the deleted records of one state of a table are: what "the n-th
// live record" (RECNO() = n, COUNT(*)) needs without reading the delete
// flags again.
class DeletedRecords {
  public:
    // deleted: ascending stored indices below storedCount.
    DeletedRecords(std::int64_t storedCount, std::vector<std::uint32_t> deleted);
    // The same deleted records in a table of another length (records
    // appended after them); the list itself is shared, not copied.
    DeletedRecords(const DeletedRecords& other, std::int64_t storedCount);

    std::int64_t storedCount() const { return storedCount_; }
    std::int64_t liveCount() const {
        return storedCount_ - static_cast<std::int64_t>(deleted_->size());
    }
    // Stored index of the n-th live record (1-based), -1 when there is none:
    // n - 1 itself when nothing is deleted.
    std::int64_t liveIndex(std::int64_t n) const;

  private:
    std::int64_t storedCount_ = 0;
    std::shared_ptr<const std::vector<std::uint32_t>> deleted_;
};

// A process-wide list per table file, kept while the file's stamp and
// record count are those it was made for.  A reader and a writer of the same
// file (a merge reads one table per statement and writes another) share it.
//
// The list of stamp (storedCount records); scan() makes it when none fits.
// Thread-safe; scan() runs outside the lock.
std::shared_ptr<const DeletedRecords> deletedRecordsOf(
    const FileStamp& stamp, std::int64_t storedCount,
    const std::function<std::vector<std::uint32_t>()>& scan);

// A writer that changed the file without touching any delete flag (an
// UPDATE, or an INSERT of a live record at the end) moves the list made for
// the state before to the state after, now storedCount records long.  A list
// for another state than before stays void: something else wrote in between.
void carryDeletedRecords(const FileStamp& before, const FileStamp& after, std::int64_t storedCount);

// Forgets the list of a file (whatever its state): for a reader that found it
// disagreeing with the file.
void forgetDeletedRecords(const FileStamp& stamp);

}  // namespace quorvel::foxpro
