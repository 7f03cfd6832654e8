#include "frame/window_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace quorvel::frame {

bool FileExists(const std::string& path) {
    // The last-change time is readable exactly when stat succeeds.
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

std::string applicationFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return ".";
    std::string exe(buffer, static_cast<size_t>(length));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

namespace {
bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string join(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}
}  // namespace

std::string applicationFilesFolder(const std::string& programFolder) {
    if (FileExists(join(programFolder, "HAND-M.CUR")) || isFolder(join(programFolder, "Samples")))
        return programFolder;
    const std::string installed =
        std::filesystem::path(join(programFolder, "../share/quorvel")).lexically_normal().string();
    return isFolder(installed) ? installed : programFolder;
}

std::string handCursorPath(const std::string& appFolder) {
    return join(appFolder, "HAND-M.CUR");
}

std::string skinPath(const std::string& appFolder) {
    return join(appFolder, "x/o.cjs");
}

std::string sampleFolder(const std::string& appFolder, int source) {
    return join(appFolder, source == 1 ? "Samples" : "Samples1");
}

std::string userDataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') return join(dataHome, "quorvel");
    const char* home = std::getenv("HOME");
    return join(home != nullptr && home[0] != '\0' ? home : ".", ".local/share/quorvel");
}

bool ApplySkin(const std::string& appFolder) {
    return FileExists(skinPath(appFolder));
}

}  // namespace quorvel::frame
