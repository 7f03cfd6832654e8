#include <windows.h>

#include <algorithm>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/map_guard.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

std::size_t pageSize() {
    static const std::size_t size = [] {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return size;
}

MappedFile::MappedFile(const std::string& path, const std::string& displayName)
    : file_(path, displayName) {
    size_ = static_cast<std::size_t>(file_.stamp().size);
    // An empty file cannot be mapped (and needs no map).
    if (size_ == 0) return;
    const HANDLE mapping =
        CreateFileMappingW(asHandle(file_.handle()), nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* p = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size_) : nullptr;
    const DWORD code = p ? 0 : GetLastError();
    // The view keeps the file mapped on its own.
    if (mapping) CloseHandle(mapping);
    if (!p)
        throw FoxProError(kErrorFile, displayName + ": cannot map the file (" +
                                          windowsError(code).message() + ")");
    guard_ = guardMap(p, size_, &faulted_);
    if (guard_ < 0) {
        UnmapViewOfFile(p);
        throw FoxProError(kErrorFile,
                          displayName + ": cannot map the file (too many files open at once)");
    }
    data_ = static_cast<const std::uint8_t*>(p);
}

MappedFile::~MappedFile() {
    unguardMap(guard_);
    if (!data_) return;
    // A view the guard replaced is zero pages of its own.
    if (faulted_.load())
        VirtualFree(const_cast<std::uint8_t*>(data_), 0, MEM_RELEASE);
    else
        UnmapViewOfFile(data_);
}

void MappedFile::release(std::size_t from, std::size_t to) {
    const std::size_t page = pageSize();
    from -= from % page;
    to = std::min(to, size_);
    to -= to % page;
    // Unlocking pages that are not locked takes them out of the working set.
    if (data_ && to > from && !faulted_.load())
        VirtualUnlock(const_cast<std::uint8_t*>(data_) + from, to - from);
}

}  // namespace quorvel::foxpro::platform
