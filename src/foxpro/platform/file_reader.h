#pragma once

#include <cstdint>
#include <string>

#include "foxpro/platform/file_stamp.h"

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
    // The open file for system calls that take one (an in-kernel copy).
    int descriptor() const { return fd_; }

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
    int fd_ = -1;
};

}  // namespace quorvel::foxpro::platform
