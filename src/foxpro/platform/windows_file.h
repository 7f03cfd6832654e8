#pragma once

// Windows side of the platform part: opening files for a look at them, and
// their stamps (for the platform's own files).
#include <windows.h>

#include <string>

#include "foxpro/platform/file_stamp.h"
#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

inline HANDLE asHandle(NativeHandle file) {
    return reinterpret_cast<HANDLE>(file);
}
inline NativeHandle asNative(HANDLE file) {
    return reinterpret_cast<NativeHandle>(file);
}

// Opens what path names (a link's target; a folder too) for a look at its
// attributes only, sharing it with everyone; INVALID_HANDLE_VALUE when it
// cannot be opened.
HANDLE openForQuery(const std::string& path);

// The stamp of an open file; false when the system does not give it.
bool stampOfHandle(HANDLE file, FileStamp& stamp, DWORD* attributes = nullptr);

// Sharing that lets others read, write, rename and delete a file while this
// process has it open, as POSIX systems do.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace quorvel::foxpro::platform
