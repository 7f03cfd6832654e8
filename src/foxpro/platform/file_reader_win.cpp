#include <algorithm>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

FileReader::FileReader(const std::string& path, std::string displayName)
    : path_(path), displayName_(std::move(displayName)) {
    // Looked at before it is opened (opening a device may do something);
    // what was opened is checked again, since the path may have changed in
    // between.  Others may go on reading, writing and renaming the file.
    const PathKind kind = pathKind(path_);
    if (kind == PathKind::Folder || kind == PathKind::Other)
        throw FoxProError(kErrorFile, notRegularFileText(displayName_));
    const HANDLE file = CreateFileW(widePath(path_).c_str(), GENERIC_READ, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const std::error_code error = lastWindowsError();
        throw FoxProError(kErrorFile, displayName_ + ": cannot open (" + error.message() + ")");
    }
    DWORD attributes = 0;
    if (GetFileType(file) != FILE_TYPE_DISK || !stampOfHandle(file, stamp_, &attributes) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        throw FoxProError(kErrorFile, notRegularFileText(displayName_));
    }
    file_ = asNative(file);
}

FileReader::~FileReader() {
    if (file_ != kNoHandle) CloseHandle(asHandle(file_));
}

std::size_t FileReader::readAt(std::uint64_t offset, void* data, std::size_t size) const {
    auto* p = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(asHandle(file_), p + done, want, &got, &at)) {
            const DWORD code = GetLastError();
            if (code == ERROR_HANDLE_EOF) break;
            throw FoxProError(
                kErrorFile, displayName_ + ": cannot read (" + windowsError(code).message() + ")");
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool FileReader::changedSinceOpen() const {
    FileStamp now;
    if (!stampOfHandle(asHandle(file_), now)) return true;
    if (now.size < stamp_.size) return true;
    if (now.size == stamp_.size && now.mtimeNs != stamp_.mtimeNs) return true;
    const std::optional<FileIdentity> named = identityOfPath(path_);
    return !named || *named != stamp_.identity();
}

}  // namespace quorvel::foxpro::platform
