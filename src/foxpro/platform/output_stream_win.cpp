#include <algorithm>
#include <utility>

#include "foxpro/platform/output_stream.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

namespace {

constexpr std::size_t kLargestCall = 1u << 30;

}  // namespace

// Here only disk files are told apart: a device (NUL, CON) or a pipe is
// written through, a folder refused.
OutputTarget outputTargetOf(const std::string& path) {
    const HANDLE file = openForQuery(path);
    if (file == INVALID_HANDLE_VALUE) return {OutputKind::Missing, {}};
    OutputTarget target{OutputKind::Stream, {}};
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD type = GetFileType(file);
    if (type == FILE_TYPE_DISK) {
        if (!GetFileInformationByHandle(file, &info))
            target = {OutputKind::Refused, "a device"};
        else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            target = {OutputKind::Refused, "a folder"};
        else
            target = {OutputKind::RegularFile, {}};
    } else if (type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE) {
        target = {OutputKind::Refused, "a device"};
    }
    CloseHandle(file);
    return target;
}

OutputStream::~OutputStream() {
    close();
}

std::error_code OutputStream::open(const std::string& path) {
    close();
    const HANDLE file =
        CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lastWindowsError();
    file_ = asNative(file);
    return {};
}

std::error_code OutputStream::write(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD wrote = 0;
        const auto want = static_cast<DWORD>(std::min(size, kLargestCall));
        if (!WriteFile(asHandle(file_), p, want, &wrote, nullptr)) {
            const DWORD code = GetLastError();
            if (code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA)
                return std::make_error_code(std::errc::broken_pipe);
            return windowsError(code);
        }
        if (wrote == 0) return std::make_error_code(std::errc::io_error);
        p += wrote;
        size -= wrote;
    }
    return {};
}

std::error_code OutputStream::close() {
    if (file_ == kNoHandle) return {};
    if (!CloseHandle(asHandle(std::exchange(file_, kNoHandle)))) return lastWindowsError();
    return {};
}

}  // namespace quorvel::foxpro::platform
