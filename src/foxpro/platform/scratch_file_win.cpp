#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>

#include "foxpro/platform/scratch_file.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

std::FILE* openScratchFile() {
    // The C runtime's tmpfile() makes its file in the drive's root, where a
    // user without rights to it cannot write: the user's temporary folder.
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    wchar_t name[MAX_PATH];
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"qvl", 0, name) == 0) {
        errno = EACCES;
        return nullptr;
    }
    const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        errno = EACCES;
        return nullptr;
    }
    const int descriptor =
        _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, "w+b");
    if (!stream) _close(descriptor);
    return stream;
}

}  // namespace quorvel::foxpro::platform
