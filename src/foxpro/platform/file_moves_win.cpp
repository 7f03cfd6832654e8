#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

namespace {
std::error_code resultOf(BOOL ok) {
    return ok ? std::error_code{} : lastWindowsError();
}
}  // namespace

// Write-through: the call returns once the rename is on the disk, which is
// what a folder's sync gives on POSIX systems.
std::error_code moveNoReplace(const std::string& from, const std::string& to) {
    return resultOf(
        MoveFileExW(widePath(from).c_str(), widePath(to).c_str(), MOVEFILE_WRITE_THROUGH));
}

std::error_code moveReplacing(const std::string& from, const std::string& to) {
    return resultOf(MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

std::error_code removeFile(const std::string& path) {
    return resultOf(DeleteFileW(widePath(path).c_str()));
}

std::error_code syncFile(const std::string& path) {
    // FlushFileBuffers needs a handle that may write.
    const HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lastWindowsError();
    const std::error_code error = resultOf(FlushFileBuffers(file));
    CloseHandle(file);
    return error;
}

std::error_code syncFolder(const std::string&) {
    // A folder cannot be flushed on its own; the moves above write through.
    return {};
}

}  // namespace quorvel::foxpro::platform
