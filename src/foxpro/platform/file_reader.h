#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foxpro/platform/file_stamp.h"
#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

// A regular file opened for reading only (source tables are never written).
// Anything else where a file is expected (a FIFO, a socket, a device, a
// folder) is refused without waiting on it.
class FileReader {
  public:
    // Throws FoxProError(kErrorFile, ...): "<displayName> is not a regular
    // file", or "<displayName>: cannot open (<reason>)".
    FileReader(const std::string& path, std::string displayName);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    const std::string& path() const { return path_; }
    const std::string& displayName() const { return displayName_; }
    // The state the file had when it was opened; stamp().size its length.
    const FileStamp& stamp() const { return stamp_; }
    // The open file, for the platform's calls that take one.
    NativeHandle handle() const { return file_; }

    // Reads up to size bytes from offset into data and returns how many
    // were read: fewer only where the file ends.  Throws
    // FoxProError(kErrorFile, "<displayName>: cannot read (<reason>)").
    std::size_t readAt(std::uint64_t offset, void* data, std::size_t size) const;

    // True when the file no longer holds what it held when opened, bytes
    // added at its end aside: it is shorter, it was written over at the
    // same length, or its path names another file now (replaced by a
    // rename) or none.  Growth is not a change: records appended while a
    // table is read are simply not part of that read.
    bool changedSinceOpen() const;

  private:
    std::string path_;
    std::string displayName_;
    FileStamp stamp_;
    NativeHandle file_ = kNoHandle;
};

}  // namespace quorvel::foxpro::platform
