#include <fcntl.h>

#include "foxpro/platform/write_behind.h"

namespace quorvel::foxpro::platform {

void startWriting(NativeHandle file, std::uint64_t offset, std::uint64_t size) {
#if defined(__linux__)
    ::sync_file_range(static_cast<int>(file), static_cast<off_t>(offset), static_cast<off_t>(size),
                      SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
    (void)offset;
    (void)size;
#endif
}

}  // namespace quorvel::foxpro::platform
