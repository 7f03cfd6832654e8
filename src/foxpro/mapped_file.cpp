#include "foxpro/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

namespace {

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

MappedFile::MappedFile(const std::string& path, const std::string& displayName) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw FoxProError(kErrorFile, displayName + ": cannot open (" + std::strerror(err) + ")");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FoxProError(kErrorFile, displayName + ": not a regular file");
    }
    stamp_ = fileStampOf(st);
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
        void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            throw FoxProError(kErrorFile,
                              displayName + ": cannot map the file (" + std::strerror(err) + ")");
        }
        ::madvise(p, size_, MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(p);
    }
    ::close(fd);
}

MappedFile::~MappedFile() {
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

void MappedFile::walkedTo(std::size_t offset) {
    if (offset < walkMark_) {
        walkMark_ = offset - offset % pageSize();
    } else if (offset - walkMark_ >= kReleaseStep) {
        release(walkMark_, offset);
        walkMark_ = offset - offset % pageSize();
    }
}

}  // namespace quorvel::foxpro
