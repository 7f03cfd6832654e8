#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/platform/stat_stamp_posix.h"

namespace quorvel::foxpro::platform {

FileReader::FileReader(const std::string& path, std::string displayName)
    : path_(path), displayName_(std::move(displayName)) {
    // Looked at before it is opened (opening a device may do something) and
    // opened so that it cannot block (a FIFO waits for a writer otherwise);
    // what was opened is checked again, since the path may have changed in
    // between.
    const PathKind kind = pathKind(path_);
    if (kind == PathKind::Folder || kind == PathKind::Other)
        throw FoxProError(kErrorFile, notRegularFileText(displayName_));
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        throw FoxProError(kErrorFile, displayName_ + ": cannot open (" + std::strerror(err) + ")");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FoxProError(kErrorFile, notRegularFileText(displayName_));
    }
    file_ = fd;
    stamp_ = stampOfStat(st);
}

FileReader::~FileReader() {
    if (file_ != kNoHandle) ::close(static_cast<int>(file_));
}

std::size_t FileReader::readAt(std::uint64_t offset, void* data, std::size_t size) const {
    auto* p = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(static_cast<int>(file_), p + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            throw FoxProError(kErrorFile,
                              displayName_ + ": cannot read (" + std::strerror(err) + ")");
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool FileReader::changedSinceOpen() const {
    struct stat st {};
    if (::fstat(static_cast<int>(file_), &st) != 0) return true;
    const FileStamp now = stampOfStat(st);
    if (now.size < stamp_.size) return true;
    if (now.size == stamp_.size && now.mtimeNs != stamp_.mtimeNs) return true;
    const std::optional<FileIdentity> named = identityOfPath(path_);
    return !named || *named != stamp_.identity();
}

}  // namespace quorvel::foxpro::platform
