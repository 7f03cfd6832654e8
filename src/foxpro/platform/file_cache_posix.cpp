#include <fcntl.h>
#include <unistd.h>

#include "foxpro/platform/file_cache.h"

namespace quorvel::foxpro::platform {

void forgetCachedPages(const std::string& path) {
#if defined(POSIX_FADV_DONTNEED)
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file < 0) return;
    ::posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED);
    ::close(file);
#else
    (void)path;
#endif
}

}  // namespace quorvel::foxpro::platform
