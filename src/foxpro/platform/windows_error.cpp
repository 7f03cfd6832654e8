#include "foxpro/platform/windows_error.h"

#include <windows.h>

namespace quorvel::foxpro::platform {

std::error_code windowsError(unsigned long code) {
    using std::errc;
    auto generic = [](errc e) { return std::make_error_code(e); };
    switch (code) {
        case ERROR_SUCCESS:
            return {};
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return generic(errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_PRIVILEGE_NOT_HELD:
            return generic(errc::permission_denied);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return generic(errc::file_exists);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return generic(errc::no_space_on_device);
        case ERROR_LOCK_VIOLATION:
            return generic(errc::resource_unavailable_try_again);
        case ERROR_WRITE_PROTECT:
            return generic(errc::read_only_file_system);
        case ERROR_DIRECTORY:
            return generic(errc::not_a_directory);
        case ERROR_DIR_NOT_EMPTY:
            return generic(errc::directory_not_empty);
        case ERROR_TOO_MANY_OPEN_FILES:
            return generic(errc::too_many_files_open);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return generic(errc::not_enough_memory);
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER:
            return generic(errc::invalid_argument);
        case ERROR_FILENAME_EXCED_RANGE:
            return generic(errc::filename_too_long);
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
            return generic(errc::operation_not_supported);
        case ERROR_NOT_SAME_DEVICE:
            return generic(errc::cross_device_link);
        default:
            return std::error_code(static_cast<int>(code), std::system_category());
    }
}

std::error_code lastWindowsError() {
    return windowsError(GetLastError());
}

}  // namespace quorvel::foxpro::platform
