#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

#include "foxpro/platform/output_stream.h"

namespace quorvel::foxpro::platform {

namespace {

std::error_code lastError() {
    return std::error_code(errno, std::generic_category());
}

bool isStream(mode_t mode) {
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// SIGPIPE held back for one write in this thread: a reader that has gone
// is an error to report (EPIPE), not the end of the program.
class PipeSignalHeld {
  public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
    }
    ~PipeSignalHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

    // After EPIPE: takes back the signal that write raised, so that it is
    // not delivered once the mask is restored.
    void discardRaised() {
        if (pendingBefore_) return;
        const timespec now{};
        while (sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {
        }
    }

  private:
    sigset_t pipe_;
    sigset_t saved_;
    bool pendingBefore_ = false;
};

}  // namespace

OutputTarget outputTargetOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {OutputKind::Missing, {}};
    if (S_ISREG(st.st_mode)) return {OutputKind::RegularFile, {}};
    if (isStream(st.st_mode)) return {OutputKind::Stream, {}};
    if (S_ISDIR(st.st_mode)) return {OutputKind::Refused, "a folder"};
    if (S_ISBLK(st.st_mode)) return {OutputKind::Refused, "a block device"};
    if (S_ISSOCK(st.st_mode)) return {OutputKind::Refused, "a socket"};
    return {OutputKind::Refused, "a device"};
}

OutputStream::~OutputStream() {
    close();
}

std::error_code OutputStream::open(const std::string& path) {
    close();
    // Without O_NONBLOCK the open of a FIFO waits for a reader, for ever if
    // none comes; with it, no reader is ENXIO at once.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return lastError();
    // What was opened must still be a stream: a regular file put there
    // meanwhile would be written over in place.
    struct stat st {};
    const std::error_code notStream = ::fstat(fd, &st) != 0 ? lastError()
                                      : !isStream(st.st_mode)
                                          ? std::make_error_code(std::errc::operation_not_supported)
                                          : std::error_code{};
    if (notStream) {
        ::close(fd);
        return notStream;
    }
    // Writes wait for a slow reader, as they do on any pipe.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const std::error_code error = lastError();
        ::close(fd);
        return error;
    }
    file_ = fd;
    return {};
}

std::error_code OutputStream::write(const void* data, std::size_t size) {
    PipeSignalHeld held;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(file_), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::error_code error = lastError();
            if (error == std::errc::broken_pipe) held.discardRaised();
            return error;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code OutputStream::close() {
    if (file_ == kNoHandle) return {};
    const int rc = ::close(static_cast<int>(std::exchange(file_, kNoHandle)));
    return rc == 0 ? std::error_code{} : lastError();
}

}  // namespace quorvel::foxpro::platform
