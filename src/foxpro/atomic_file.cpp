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
        ::unlink(e.tempPath.c_str());
    }
}

FileSink& NewFileSet::create(const std::string& finalName) {
    std::string pattern = folder_ + "/~quorvel-XXXXXX.tmp";
    int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0)
        throw FoxProError(kErrorFile,
                          finalName + ": cannot create in " + folder_ + ": " + errorText(errno));
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    // mkstemp makes the file 0600; a table should get the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    Entry e;
    e.finalName = finalName;
    e.finalPath = folder_ + "/" + finalName;
    e.tempPath = pattern;
    e.sink = std::make_unique<FileSink>(fd, pattern, finalName);
    entries_.push_back(std::move(e));
    return *entries_.back().sink;
}

void NewFileSet::commit() {
    for (auto& e : entries_) {
        e.sink->sync();
        e.sink->close();
    }
    // Each step: 'exchanged' (the temp path now holds the replaced file) or
    // plain renamed.
    std::vector<bool> exchanged;
    auto undo = [&] {
        for (std::size_t j = exchanged.size(); j-- > 0;) {
            auto& e = entries_[j];
            if (exchanged[j])
                ::renameat2(AT_FDCWD, e.tempPath.c_str(), AT_FDCWD, e.finalPath.c_str(),
                            RENAME_EXCHANGE);
            else
                ::rename(e.finalPath.c_str(), e.tempPath.c_str());
        }
    };
    for (auto& e : entries_) {
        int rc = ::renameat2(AT_FDCWD, e.tempPath.c_str(), AT_FDCWD, e.finalPath.c_str(),
                             RENAME_NOREPLACE);
        bool swapped = false;
        if (rc != 0 && errno == EEXIST) {
            rc = ::renameat2(AT_FDCWD, e.tempPath.c_str(), AT_FDCWD, e.finalPath.c_str(),
                             RENAME_EXCHANGE);
            swapped = rc == 0;
        }
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without renameat2 flags: plain replacing rename,
            // which cannot be undone but still never shows a partial file.
            rc = ::rename(e.tempPath.c_str(), e.finalPath.c_str());
        }
        if (rc != 0) {
            int err = errno;
            undo();
            throw FoxProError(
                kErrorFile, e.finalName + ": cannot put the new file in place: " + errorText(err));
        }
        exchanged.push_back(swapped);
    }
    committed_ = true;
    for (std::size_t j = 0; j < entries_.size(); ++j)
        if (exchanged[j]) ::unlink(entries_[j].tempPath.c_str());
    for (const auto& path : obsolete_) ::unlink(path.c_str());
}

}  // namespace quorvel::foxpro
