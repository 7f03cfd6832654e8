#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

std::optional<FileIdentity> identityOfPath(const std::string& path) {
    const HANDLE file = openForQuery(path);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<FileIdentity> identity = identityOfFile(asNative(file));
    CloseHandle(file);
    return identity;
}

std::optional<FileIdentity> identityOfFile(NativeHandle file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(asHandle(file), &info)) return std::nullopt;
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool namesRegularFile(const std::string& path) {
    return pathKind(path) == PathKind::RegularFile;
}

bool entryExists(const std::string& path) {
    return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace quorvel::foxpro::platform
