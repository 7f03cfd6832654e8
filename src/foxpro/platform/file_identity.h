#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

// What makes a file the same file whatever path reaches it: the device and
// the file number on it (on Windows: the volume serial and the file index).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file that path names, symbolic links followed;
// nullopt when nothing (or a dangling link) is there.
std::optional<FileIdentity> identityOfPath(const std::string& path);

// The identity of an open file; nullopt when it cannot be asked.
std::optional<FileIdentity> identityOfFile(NativeHandle file);

// True when path names a regular file, links followed.
bool namesRegularFile(const std::string& path);

// True when path names a directory entry of any kind (a dangling link too).
bool entryExists(const std::string& path);

}  // namespace quorvel::foxpro::platform
