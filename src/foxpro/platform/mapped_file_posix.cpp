#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/map_guard.h"
#include "foxpro/platform/mapped_file.h"

namespace quorvel::foxpro::platform {

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

MappedFile::MappedFile(const std::string& path, const std::string& displayName)
    : file_(path, displayName) {
    size_ = static_cast<std::size_t>(file_.stamp().size);
    if (size_ == 0) return;
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, static_cast<int>(file_.handle()), 0);
    if (p == MAP_FAILED) {
        const int err = errno;
        throw FoxProError(kErrorFile,
                          displayName + ": cannot map the file (" + std::strerror(err) + ")");
    }
    guard_ = guardMap(p, size_, &faulted_);
    if (guard_ < 0) {
        ::munmap(p, size_);
        throw FoxProError(kErrorFile,
                          displayName + ": cannot map the file (too many files open at once)");
    }
    ::madvise(p, size_, MADV_SEQUENTIAL);
    data_ = static_cast<const std::uint8_t*>(p);
}

MappedFile::~MappedFile() {
    // Unguarded first: the range may be mapped again by anyone once it is
    // unmapped.
    unguardMap(guard_);
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

void MappedFile::release(std::size_t from, std::size_t to) {
    const std::size_t page = pageSize();
    from -= from % page;
    to = std::min(to, size_);
    to -= to % page;
    if (data_ && to > from)
        ::madvise(const_cast<std::uint8_t*>(data_) + from, to - from, MADV_DONTNEED);
}

}  // namespace quorvel::foxpro::platform
