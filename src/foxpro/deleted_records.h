#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quorvel::foxpro {

// One state of a file: its identity (device, inode) and what changes with
// every write (size, modification time to the nanosecond).  The change time
// too: a tool may set the modification time back after writing, but not it.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of an open file; a stamp of zeros when fstat fails.
FileStamp fileStampOf(int fd);
FileStamp fileStampOf(const struct stat& st);

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
