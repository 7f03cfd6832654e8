#include "foxpro/platform/file_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace quorvel::foxpro::platform {

namespace {

// Locks owned by the open file where the kernel has them (Linux 3.15 on);
// else classic process-owned record locks.
std::atomic<bool> gOpenFileLocks{true};

int setCommand(bool wait) {
#ifdef F_OFD_SETLK
    if (gOpenFileLocks) return wait ? F_OFD_SETLKW : F_OFD_SETLK;
#endif
    return wait ? F_SETLKW : F_SETLK;
}

int applyLock(int fd, short type, bool wait) {
    for (;;) {
        struct flock request {};
        request.l_type = type;
        request.l_whence = SEEK_SET;
        request.l_start = 0;
        request.l_len = 0;  // to the end, however far the file grows
        request.l_pid = 0;
        const int command = setCommand(wait);
        if (::fcntl(fd, command, &request) == 0) return 0;
        const int err = errno;
        if (err == EINTR) continue;
#ifdef F_OFD_SETLK
        if (err == EINVAL && (command == F_OFD_SETLK || command == F_OFD_SETLKW)) {
            gOpenFileLocks = false;
            continue;
        }
#endif
        return err;
    }
}

}  // namespace

LockResult lockFile(NativeHandle file, LockMode mode, bool wait, std::error_code& error) {
    error.clear();
    const int err = applyLock(static_cast<int>(file), mode == LockMode::Shared ? F_RDLCK : F_WRLCK, wait);
    if (err == 0) return LockResult::Locked;
    if (err == EAGAIN || err == EACCES) return LockResult::Busy;
    if (err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS || err == EINVAL)
        return LockResult::Unsupported;
    error = std::error_code(err, std::generic_category());
    return LockResult::Failed;
}

void unlockFile(NativeHandle file) {
    applyLock(static_cast<int>(file), F_UNLCK, false);
}

NativeHandle openForLock(const std::string& path, LockMode mode, bool create,
                         FileIdentity& identity, std::error_code& error) {
    error.clear();
    int flags = (mode == LockMode::Shared ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC;
    if (create) flags |= O_CREAT;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        return kNoHandle;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kNoHandle;
    }
    identity =
        FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return fd;
}

void closeHandle(NativeHandle file) {
    if (file != kNoHandle) ::close(static_cast<int>(file));
}

}  // namespace quorvel::foxpro::platform
