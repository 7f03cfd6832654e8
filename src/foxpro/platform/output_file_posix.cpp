#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/output_file.h"

namespace quorvel::foxpro::platform {

namespace {

std::error_code lastError() {
    return std::error_code(errno, std::generic_category());
}

}  // namespace

OutputFile::~OutputFile() {
    if (file_ != kNoHandle) ::close(static_cast<int>(file_));
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(std::exchange(other.file_, kNoHandle)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        if (file_ != kNoHandle) ::close(static_cast<int>(file_));
        file_ = std::exchange(other.file_, kNoHandle);
    }
    return *this;
}

std::error_code OutputFile::open(const std::string& path, Mode mode) {
    int flags = O_RDWR | O_CLOEXEC;
    if (mode == Mode::CreateNew) flags |= O_CREAT | O_EXCL;
    // The mode is narrowed by the umask, as for any file the user makes.
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return lastError();
    if (file_ != kNoHandle) ::close(static_cast<int>(file_));
    file_ = fd;
    return {};
}

std::error_code OutputFile::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(static_cast<int>(file_), p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return lastError();
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return {};
}

std::error_code OutputFile::writePiecesAt(std::uint64_t offset, const WritePiece* pieces,
                                          std::size_t count) {
    std::vector<struct iovec> rest;
    rest.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        rest.push_back({const_cast<void*>(pieces[i].data), pieces[i].size});
    std::size_t first = 0;
    while (first < rest.size()) {
        const int batch = static_cast<int>(std::min<std::size_t>(rest.size() - first, IOV_MAX));
        const ssize_t n = ::pwritev(static_cast<int>(file_), rest.data() + first, batch,
                                    static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return lastError();
        offset += static_cast<std::uint64_t>(n);
        auto done = static_cast<std::size_t>(n);
        while (first < rest.size() && done >= rest[first].iov_len) done -= rest[first++].iov_len;
        if (first < rest.size()) {
            rest[first].iov_base = static_cast<char*>(rest[first].iov_base) + done;
            rest[first].iov_len -= done;
        }
    }
    return {};
}

std::error_code OutputFile::copyFromFile(const FileReader& source, std::uint64_t sourceOffset,
                                         std::uint64_t offset, std::uint64_t size,
                                         std::uint64_t& copied) {
    copied = 0;
    auto in = static_cast<off_t>(sourceOffset);
    auto out = static_cast<off_t>(offset);
    while (copied < size) {
        const ssize_t n = ::copy_file_range(static_cast<int>(source.handle()), &in,
                                            static_cast<int>(file_), &out, size - copied, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return lastError();
        if (n <= 0) break;  // no in-kernel copy here (or the source ended)
        copied += static_cast<std::uint64_t>(n);
    }
    return {};
}

std::error_code OutputFile::readAt(std::uint64_t offset, void* data, std::size_t size,
                                   std::size_t& got) {
    auto* p = static_cast<char*>(data);
    got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(static_cast<int>(file_), p + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return lastError();
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code OutputFile::size(std::uint64_t& bytes) {
    struct stat st {};
    if (::fstat(static_cast<int>(file_), &st) != 0) return lastError();
    bytes = static_cast<std::uint64_t>(st.st_size);
    return {};
}

std::error_code OutputFile::truncate(std::uint64_t size) {
    if (::ftruncate(static_cast<int>(file_), static_cast<off_t>(size)) != 0) return lastError();
    return {};
}

std::error_code OutputFile::syncData() {
    if (::fdatasync(static_cast<int>(file_)) != 0) return lastError();
    return {};
}

std::error_code OutputFile::close() {
    if (file_ == kNoHandle) return {};
    const int rc = ::close(static_cast<int>(std::exchange(file_, kNoHandle)));
    return rc == 0 ? std::error_code{} : lastError();
}

}  // namespace quorvel::foxpro::platform
