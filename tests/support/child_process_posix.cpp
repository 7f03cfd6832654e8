#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/child_process.h"

namespace quorvel::test {

bool canForkChildren() {
    return true;
}

bool makeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

pid_t forkChild(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    int status = 0;
    try {
        body();
    } catch (...) {
        status = 1;
    }
    ::_exit(status);
}

int waitChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Turn::Turn() {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
}

Turn::~Turn() {
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

void Turn::give(char what) {
    [[maybe_unused]] const auto written = ::write(fds_[1], &what, 1);
}

char Turn::take() {
    pollfd p{fds_[0], POLLIN, 0};
    if (::poll(&p, 1, 60000) != 1) return '\0';
    char what = '\0';
    return ::read(fds_[0], &what, 1) == 1 ? what : '\0';
}

}  // namespace quorvel::test
