#include "foxpro/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/table_replacement.h"
#include "foxpro/temporary_files.h"

namespace quorvel::foxpro {

namespace {

// Bytes left before the simulated full disk; negative when off.
std::atomic<std::int64_t> gWriteLimit{-1};

constexpr std::size_t kAppendBuffer = 1 << 20;

std::string errorText(int err) {
    return std::strerror(err);
}

}  // namespace

void setWriteLimitForTesting(std::optional<std::int64_t> bytes) {
    gWriteLimit = bytes ? *bytes : -1;
}

FileSink FileSink::openExisting(const std::string& path, std::string name) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw FoxProError(kErrorFile, name + ": cannot open for writing: " + errorText(errno));
    return FileSink(fd, path, std::move(name));
}

FileSink FileSink::createNew(const std::string& path, std::string name) {
    // The mode is narrowed by the umask, as for any file the user makes.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const auto slash = path.rfind('/');
        throw FoxProError(kErrorFile,
                          name + ": cannot create in " +
                              (slash == std::string::npos ? "." : path.substr(0, slash)) + ": " +
                              errorText(errno));
    }
    return FileSink(fd, path, std::move(name));
}

FileSink::FileSink(int fd, std::string path, std::string name)
    : fd_(fd), path_(std::move(path)), name_(std::move(name)) {}

FileSink::FileSink(FileSink&& other) noexcept
    : fd_(other.fd_),
      path_(std::move(other.path_)),
      name_(std::move(other.name_)),
      buffer_(std::move(other.buffer_)),
      appended_(other.appended_) {
    other.fd_ = -1;
}

FileSink::~FileSink() {
    if (fd_ >= 0) ::close(fd_);
}

void FileSink::fail(const std::string& what, int err) const {
    throw FoxProError(kErrorFile, name_ + ": " + what + ": " + errorText(err));
}

void FileSink::writeAll(std::uint64_t offset, const char* data, std::size_t size, bool limited) {
    std::int64_t limit = limited ? gWriteLimit.load() : -1;
    bool simulateFull = false;
    if (limit >= 0) {
        if (static_cast<std::int64_t>(size) > limit) {
            size = static_cast<std::size_t>(limit);
            simulateFull = true;
        }
        gWriteLimit = limit - static_cast<std::int64_t>(size);
    }
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write", errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    if (simulateFull) fail("cannot write", ENOSPC);
}

void FileSink::append(const void* data, std::size_t size) {
    if (buffer_.size() + size > kAppendBuffer) {
        flush();
        if (size >= kAppendBuffer) {
            writeAll(appended_, static_cast<const char*>(data), size);
            appended_ += size;
            return;
        }
    }
    buffer_.append(static_cast<const char*>(data), size);
}

void FileSink::appendPieces(const struct iovec* pieces, int count) {
    flush();
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) total += pieces[i].iov_len;
    std::int64_t limit = gWriteLimit.load();
    if (limit >= 0 && static_cast<std::int64_t>(total) > limit) {
        // The simulated full disk: write piece by piece up to the limit.
        for (int i = 0; i < count; ++i) {
            writeAll(appended_, static_cast<const char*>(pieces[i].iov_base), pieces[i].iov_len);
            appended_ += pieces[i].iov_len;
        }
        return;
    }
    if (limit >= 0) gWriteLimit = limit - static_cast<std::int64_t>(total);
    std::vector<struct iovec> rest(pieces, pieces + count);
    std::size_t first = 0;
    while (first < rest.size()) {
        ssize_t n = ::pwritev(fd_, rest.data() + first, static_cast<int>(rest.size() - first),
                              static_cast<off_t>(appended_));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("cannot write", errno);
        appended_ += static_cast<std::uint64_t>(n);
        auto done = static_cast<std::size_t>(n);
        while (first < rest.size() && done >= rest[first].iov_len) done -= rest[first++].iov_len;
        if (first < rest.size()) {
            rest[first].iov_base = static_cast<char*>(rest[first].iov_base) + done;
            rest[first].iov_len -= done;
        }
    }
}

void FileSink::appendFromFile(int sourceFd, std::uint64_t offset, std::uint64_t size) {
    flush();
    std::int64_t limit = gWriteLimit.load();
    bool simulateFull = false;
    if (limit >= 0) {
        if (static_cast<std::int64_t>(size) > limit) {
            size = static_cast<std::uint64_t>(limit);
            simulateFull = true;
        }
        gWriteLimit = limit - static_cast<std::int64_t>(size);
    }
    auto in = static_cast<off_t>(offset);
    auto out = static_cast<off_t>(appended_);
    while (size > 0) {
        ssize_t n = ::copy_file_range(sourceFd, &in, fd_, &out, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL &&
                errno != EOPNOTSUPP)
                fail("cannot write", errno);
            break;  // no in-kernel copy here (or the source ended): copy by hand
        }
        size -= static_cast<std::uint64_t>(n);
    }
    std::string chunk;
    while (size > 0) {
        chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kAppendBuffer)));
        ssize_t n = ::pread(sourceFd, chunk.data(), chunk.size(), in);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("cannot read the source", errno);
        if (n == 0) throw FoxProError(kErrorFile, name_ + ": the source ended early");
        writeAll(static_cast<std::uint64_t>(out), chunk.data(), static_cast<std::size_t>(n), false);
        in += n;
        out += n;
        size -= static_cast<std::uint64_t>(n);
    }
    appended_ = static_cast<std::uint64_t>(out);
    if (simulateFull) fail("cannot write", ENOSPC);
}

void FileSink::flush() {
    if (buffer_.empty()) return;
    writeAll(appended_, buffer_.data(), buffer_.size());
    appended_ += buffer_.size();
    buffer_.clear();
}

void FileSink::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
    flush();
    writeAll(offset, static_cast<const char*>(data), size);
}

void FileSink::rewriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    flush();
    writeAll(offset, static_cast<const char*>(data), size, false);
}

void FileSink::readAt(std::uint64_t offset, void* data, std::size_t size) {
    flush();
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("cannot read", errno);
        if (n == 0) throw FoxProError(kErrorFile, name_ + ": unexpected end of file");
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}

std::uint64_t FileSink::size() {
    flush();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail("cannot read the size", errno);
    return static_cast<std::uint64_t>(st.st_size);
}

void FileSink::truncate(std::uint64_t size) {
    flush();
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("cannot truncate", errno);
}

void FileSink::sync() {
    flush();
    if (::fdatasync(fd_) != 0) fail("cannot write", errno);
}

void FileSink::close() {
    flush();
    if (fd_ >= 0) {
        int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0) fail("cannot write", errno);
    }
}

// ---------------------------------------------------------------------------

NewFileSet::NewFileSet(std::string folder) : folder_(std::move(folder)) {}

NewFileSet::~NewFileSet() {
    if (committed_) return;
    for (auto& e : entries_) {
        e.sink.reset();
        platform::removeFile(folder_ + "/" + e.tempName);
    }
}

FileSink& NewFileSet::create(const std::string& finalName) {
    Entry e;
    e.finalName = finalName;
    e.tempName = temporaryName(kNewFileSuffix);
    e.sink = std::make_unique<FileSink>(FileSink::createNew(folder_ + "/" + e.tempName, finalName));
    entries_.push_back(std::move(e));
    return *entries_.back().sink;
}

void NewFileSet::commit(const std::vector<std::string>& replaced) {
    for (auto& e : entries_) {
        e.sink->sync();
        e.sink->close();
    }
    std::vector<FileMove> place;
    for (auto e = entries_.rbegin(); e != entries_.rend(); ++e)
        place.push_back({e->tempName, e->finalName});
    replaceFiles(folder_, entries_.empty() ? std::string() : entries_.front().finalName, replaced,
                 place);
    committed_ = true;
}

}  // namespace quorvel::foxpro
