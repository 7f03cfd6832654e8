#include <dirent.h>

#include <cerrno>
#include <string_view>

#include "foxpro/platform/folder_entries.h"

namespace quorvel::foxpro::platform {

std::vector<std::string> folderEntries(const std::string& folder, std::error_code* error) {
    std::vector<std::string> names;
    if (error) error->clear();
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) {
        if (error) *error = std::error_code(errno, std::generic_category());
        return names;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name(e->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(d);
    return names;
}

}  // namespace quorvel::foxpro::platform
