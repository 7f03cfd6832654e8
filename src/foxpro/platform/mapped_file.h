#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "foxpro/platform/file_reader.h"

namespace quorvel::foxpro::platform {

// A walk gives back the pages of the map it has passed every so many bytes,
// so that its resident memory stays about this size whatever the table's.
inline constexpr std::size_t kReleaseStep = 4u << 20;

// A whole regular file mapped read-only, guarded against the file shrinking
// under the map (another program truncating it, copying over it, packing
// it): a read of a page the file no longer reaches does not end the
// process, it reads zeros and marks the map faulted.  Readers call
// checkFault() before bytes they read leave them (cheap) and
// checkUnchanged() at the end of a walk and every kReleaseStep bytes; both
// throw FoxProError(kErrorFile, "<displayName> changed while it was being
// read").  Bytes appended to the file meanwhile are not mapped and do no
// harm.
class MappedFile {
  public:
    // Throws what FileReader throws, or "<displayName>: cannot map the file
    // (<reason>)".
    MappedFile(const std::string& path, const std::string& displayName);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const FileStamp& stamp() const { return file_.stamp(); }
    const FileReader& file() const { return file_; }

    // Throws when a read of the map has met the end of a file that shrank.
    void checkFault() const {
        // Keeps the compiler from moving the map reads before it past the
        // look at the flag (the guard sets it in this thread).
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (faulted_.load(std::memory_order_relaxed)) [[unlikely]]
            throwChanged();
    }
    // checkFault(), then a look at the file itself (FileReader::changedSinceOpen).
    void checkUnchanged() const;

    // Drops the pages of [from, to) (whole pages only) from this process.
    // The map is a read-only view of the file: a page touched again is read
    // back from the page cache, so pointers into the map stay good.
    void release(std::size_t from, std::size_t to);

    // A forward walk has reached offset: what lies kReleaseStep or more
    // behind it is released (and the file checked for changes).  A walk
    // that starts again further back starts a new stretch.
    void walkedTo(std::size_t offset);

  private:
    [[noreturn]] void throwChanged() const;

    FileReader file_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t walkMark_ = 0;  // start of the pages the walk has not released
    std::atomic<bool> faulted_{false};
    int guard_ = -1;  // the map's entry in the process-wide guard
};

// The system's memory page size: maps are given back by whole pages.
std::size_t pageSize();

}  // namespace quorvel::foxpro::platform
