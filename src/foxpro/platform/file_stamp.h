#pragma once

#include <cstdint>

#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

// One state of a file: its identity (device, inode) and what changes with
// every write (size, modification time to the nanosecond).  The change time
// too: a tool may set the modification time back after writing, but not it.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;

    FileIdentity identity() const { return FileIdentity{device, inode}; }
};

// The stamp of an open file; a stamp of zeros when it cannot be read.
FileStamp fileStampOf(NativeHandle file);

}  // namespace quorvel::foxpro::platform
