#include <sys/statvfs.h>
#include <unistd.h>

#include "foxpro/platform/writable_folder.h"

namespace quorvel::foxpro::platform {

bool isWritableFolder(const std::string& folder) {
    struct statvfs info {};
    return ::access(folder.c_str(), W_OK | X_OK) == 0 && ::statvfs(folder.c_str(), &info) == 0 &&
           (info.f_flag & ST_RDONLY) == 0;
}

}  // namespace quorvel::foxpro::platform
