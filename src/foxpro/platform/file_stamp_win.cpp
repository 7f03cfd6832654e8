#include "foxpro/platform/file_stamp.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

namespace {
std::int64_t nanoseconds(std::int64_t ticks) {
    return ticks * 100;  // 100 ns ticks since 1601
}
}  // namespace

HANDLE openForQuery(const std::string& path) {
    return CreateFileW(widePath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool stampOfHandle(HANDLE file, FileStamp& stamp, DWORD* attributes) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandle(file, &info) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                           info.nFileSizeLow);
    stamp.mtimeNs = nanoseconds(basic.LastWriteTime.QuadPart);
    stamp.ctimeNs = nanoseconds(basic.ChangeTime.QuadPart);
    if (attributes) *attributes = info.dwFileAttributes;
    return true;
}

FileStamp fileStampOf(NativeHandle file) {
    FileStamp stamp;
    if (!stampOfHandle(asHandle(file), stamp)) return {};
    return stamp;
}

}  // namespace quorvel::foxpro::platform
