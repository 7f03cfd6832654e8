#include <sys/stat.h>

#include "foxpro/platform/file_stamp.h"
#include "foxpro/platform/stat_stamp_posix.h"

namespace quorvel::foxpro::platform {

FileStamp stampOfStat(const struct stat& st) {
    auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::int64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

FileStamp fileStampOf(NativeHandle file) {
    struct stat st {};
    if (::fstat(static_cast<int>(file), &st) != 0) return {};
    return stampOfStat(st);
}

}  // namespace quorvel::foxpro::platform
