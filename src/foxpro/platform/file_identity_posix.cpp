#include "foxpro/platform/file_identity.h"

#include <sys/stat.h>

namespace quorvel::foxpro::platform {

namespace {

FileIdentity identityOf(const struct stat& st) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

std::optional<FileIdentity> identityOfPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return identityOf(st);
}

std::optional<FileIdentity> identityOfFile(NativeHandle file) {
    struct stat st {};
    if (::fstat(static_cast<int>(file), &st) != 0) return std::nullopt;
    return identityOf(st);
}

bool namesRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool entryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace quorvel::foxpro::platform
