#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "support/open_files.h"

namespace quorvel::test {

// The soft limit is lowered first, so that taking every handle is quick
// whatever the limit of the machine (handles already open stay good).
constexpr rlim_t kLimit = 1024;

OpenFilesUsedUp::OpenFilesUsedUp(int spare) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    savedLimit_ = limit.rlim_cur;
    limit.rlim_cur = std::min(limit.rlim_cur, kLimit);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) handles_.push_back(fd);
    for (; spare > 0 && !handles_.empty(); --spare) {
        ::close(handles_.back());
        handles_.pop_back();
    }
}

OpenFilesUsedUp::~OpenFilesUsedUp() {
    release();
}

void OpenFilesUsedUp::release() {
    for (int fd : handles_) ::close(fd);
    handles_.clear();
    if (savedLimit_ == 0) return;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = static_cast<rlim_t>(savedLimit_);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    savedLimit_ = 0;
}

}  // namespace quorvel::test
