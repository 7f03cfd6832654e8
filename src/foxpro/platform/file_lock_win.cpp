#include "foxpro/platform/file_lock.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

namespace {

// Windows enforces byte-range locks on reads and writes through other
// handles, this process's own too, so a lock over the data would stop the
// writer's own second handle.  The range locked lies far past any table's
// end (and past any other program's record locks) but inside the whole-file
// range of the POSIX build: locks of the two builds on a shared file (a file
// server, Wine) still exclude each other.
constexpr DWORD kRangeOffsetLow = 0;
constexpr DWORD kRangeOffsetHigh = 0x7fffff00;
constexpr DWORD kRangeLength = 0xffffffff;

OVERLAPPED rangeStart() {
    OVERLAPPED at{};
    at.Offset = kRangeOffsetLow;
    at.OffsetHigh = kRangeOffsetHigh;
    return at;
}

}  // namespace

LockResult lockFile(NativeHandle file, LockMode mode, bool wait, std::error_code& error) {
    error.clear();
    DWORD flags = mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if (!wait) flags |= LOCKFILE_FAIL_IMMEDIATELY;
    OVERLAPPED at = rangeStart();
    if (LockFileEx(asHandle(file), flags, 0, kRangeLength, 0, &at)) return LockResult::Locked;
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return LockResult::Busy;
    if (code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION)
        return LockResult::Unsupported;
    error = windowsError(code);
    return LockResult::Failed;
}

void unlockFile(NativeHandle file) {
    OVERLAPPED at = rangeStart();
    UnlockFileEx(asHandle(file), 0, kRangeLength, 0, &at);
}

NativeHandle openForLock(const std::string& path, LockMode mode, bool create,
                         FileIdentity& identity, std::error_code& error) {
    error.clear();
    const PathKind kind = pathKind(path);
    if (kind == PathKind::Folder || kind == PathKind::Other) return kNoHandle;
    const DWORD access = mode == LockMode::Shared ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const HANDLE file =
        CreateFileW(widePath(path).c_str(), access, kShareAll, nullptr,
                    create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastWindowsError();
        return kNoHandle;
    }
    FileStamp stamp;
    DWORD attributes = 0;
    if (GetFileType(file) != FILE_TYPE_DISK || !stampOfHandle(file, stamp, &attributes) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        return kNoHandle;
    }
    identity = stamp.identity();
    return asNative(file);
}

void closeHandle(NativeHandle file) {
    if (file != kNoHandle) CloseHandle(asHandle(file));
}

}  // namespace quorvel::foxpro::platform
