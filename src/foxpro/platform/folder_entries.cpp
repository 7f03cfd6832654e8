#include "foxpro/platform/folder_entries.h"

#include <dirent.h>

#include <string_view>

namespace quorvel::foxpro::platform {

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name(e->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(d);
    return names;
}

}  // namespace quorvel::foxpro::platform
