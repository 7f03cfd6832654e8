#include "foxpro/platform/path_names.h"

namespace quorvel::foxpro::platform {

namespace {
bool isSeparator(char c) {
    return c == '/' || c == '\\';
}
}  // namespace

std::size_t lastSeparator(std::string_view path) {
    return path.find_last_of("/\\");
}

std::size_t rootLength(std::string_view path) {
    // \\server\share\ (and \\?\C:\ alike: its "share" is the drive)
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        std::size_t end = path.find_first_of("/\\", 2);
        if (end == std::string_view::npos) return path.size();
        end = path.find_first_of("/\\", end + 1);
        return end == std::string_view::npos ? path.size() : end + 1;
    }
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && isSeparator(path[2]) ? 3 : 2;
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

}  // namespace quorvel::foxpro::platform
