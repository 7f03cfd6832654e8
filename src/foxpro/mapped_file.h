#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foxpro/deleted_records.h"

namespace quorvel::foxpro {

// A walk gives back the pages of the map it has passed every so many bytes,
// so that its resident memory stays about this size whatever the table's.
inline constexpr std::size_t kReleaseStep = 4u << 20;

// A whole file mapped read-only.  The descriptor is opened O_RDONLY: source
// tables are never written.  Throws FoxProError(kErrorFile, "<displayName>:
// <problem>") when the file cannot be opened or mapped.
class MappedFile {
  public:
    MappedFile(const std::string& path, const std::string& displayName);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const FileStamp& stamp() const { return stamp_; }

    // Drops the pages of [from, to) (whole pages only) from this process.
    // The map is a read-only view of the file: a page touched again is read
    // back from the page cache, so pointers into the map stay good.
    void release(std::size_t from, std::size_t to);

    // A forward walk has reached offset: what lies kReleaseStep or more
    // behind it is released.  A walk that starts again further back starts
    // a new stretch.
    void walkedTo(std::size_t offset);

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    FileStamp stamp_;
    std::size_t walkMark_ = 0;  // start of the pages the walk has not released
};

}  // namespace quorvel::foxpro
