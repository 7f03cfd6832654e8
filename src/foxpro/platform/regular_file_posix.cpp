#include <sys/stat.h>

#include <cerrno>

#include "foxpro/platform/regular_file.h"

namespace quorvel::foxpro::platform {

PathKind pathKind(const std::string& path) {
    std::error_code ignored;
    return pathKind(path, ignored);
}

PathKind pathKind(const std::string& path, std::error_code& error) {
    error.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const std::error_code failure(errno, std::generic_category());
        if (!meansAbsent(failure)) error = failure;
        return PathKind::Missing;
    }
    if (S_ISREG(st.st_mode)) return PathKind::RegularFile;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

std::string notRegularFileText(const std::string& displayName) {
    return displayName + " is not a regular file";
}

}  // namespace quorvel::foxpro::platform
