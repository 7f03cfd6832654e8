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
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) {
        const int err = errno;
        throw FoxProError(kErrorFile, displayName_ + ": cannot open (" + std::strerror(err) + ")");
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw FoxProError(kErrorFile, notRegularFileText(displayName_));
    }
    stamp_ = stampOfStat(st);
}

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileReader::changedSinceOpen() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return true;
    const FileStamp now = stampOfStat(st);
    if (now.size < stamp_.size) return true;
    if (now.size == stamp_.size && now.mtimeNs != stamp_.mtimeNs) return true;
    const std::optional<FileIdentity> named = identityOfPath(path_);
    return !named || *named != stamp_.identity();
}

}  // namespace quorvel::foxpro::platform
