#include "foxpro/platform/file_moves.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace quorvel::foxpro::platform {

namespace {

std::error_code errorOf(int err) {
    return std::error_code(err, std::generic_category());
}

}  // namespace

std::error_code moveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) return errorOf(err);
    // No rename flags on this file system: a hard link fails when the name
    // is taken, and then the old name goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return {};
    }
    if (errno == EEXIST) return errorOf(EEXIST);
    // Neither (a file system without hard links): look, then rename.  The
    // callers hold the name's lock, so only another program could come in
    // between.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return errorOf(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return errorOf(errno);
    return {};
}

std::error_code moveReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return errorOf(errno);
    return {};
}

std::error_code removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return errorOf(errno);
    return {};
}

std::error_code syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errorOf(errno);
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err ? errorOf(err) : std::error_code{};
}

std::error_code syncFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errorOf(errno);
    int err = 0;
    // Some file systems cannot sync a folder; their renames are as durable
    // as they get.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    ::close(fd);
    return err ? errorOf(err) : std::error_code{};
}

}  // namespace quorvel::foxpro::platform
