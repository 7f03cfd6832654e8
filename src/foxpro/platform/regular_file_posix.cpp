#include <sys/stat.h>

#include "foxpro/platform/regular_file.h"

namespace quorvel::foxpro::platform {

PathKind pathKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::RegularFile;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

std::string notRegularFileText(const std::string& displayName) {
    return displayName + " is not a regular file";
}

}  // namespace quorvel::foxpro::platform
