#include "foxpro/platform/regular_file.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

PathKind pathKind(const std::string& path) {
    std::error_code ignored;
    return pathKind(path, ignored);
}

PathKind pathKind(const std::string& path, std::error_code& error) {
    error.clear();
    const HANDLE file = openForQuery(path);
    if (file == INVALID_HANDLE_VALUE) {
        const std::error_code failure = lastWindowsError();
        if (!meansAbsent(failure)) error = failure;
        return PathKind::Missing;
    }
    PathKind kind = PathKind::Other;  // a device (NUL, COM1), a pipe ...
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info))
        kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder
                                                                  : PathKind::RegularFile;
    CloseHandle(file);
    return kind;
}

std::string notRegularFileText(const std::string& displayName) {
    return displayName + " is not a regular file";
}

}  // namespace quorvel::foxpro::platform
