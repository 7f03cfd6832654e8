#include "frame/window_helpers.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "foxpro/platform/console.h"
#include "foxpro/platform/path_names.h"
#include "foxpro/platform/path_text.h"
#include "foxpro/platform/regular_file.h"

namespace quorvel::frame {

bool FileExists(const std::string& path) {
    // The last-change time is readable exactly when the path names something.
    return !path.empty() && foxpro::platform::pathKind(path) != foxpro::platform::PathKind::Missing;
}

std::string applicationFolder() {
    const std::string exe = foxpro::platform::programFilePath();
    const auto slash = foxpro::platform::lastSeparator(exe);
    if (exe.empty() || slash == std::string::npos) return ".";
    // The root keeps its separator ("/", "C:\\").
    return exe.substr(0, std::max(slash, foxpro::platform::rootLength(exe)));
}

namespace {
bool isFolder(const std::string& path) {
    return foxpro::platform::pathKind(path) == foxpro::platform::PathKind::Folder;
}

std::string join(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}
}  // namespace

std::string applicationFilesFolder(const std::string& programFolder) {
    if (FileExists(join(programFolder, "HAND-M.CUR")) || isFolder(join(programFolder, "Samples")))
        return programFolder;
    const std::string installed = foxpro::platform::textFromPath(
        foxpro::platform::pathFromText(join(programFolder, "../share/quorvel")).lexically_normal());
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
