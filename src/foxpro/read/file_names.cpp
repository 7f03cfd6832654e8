#include "foxpro/read/file_names.h"

#include <algorithm>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/path_names.h"
#include "foxpro/platform/regular_file.h"

namespace quorvel::foxpro {

std::string joinPath(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    // "/", "C:\" and "C:" take the name as they are.
    if (platform::lastSeparator(folder) + 1 == folder.size() ||
        platform::rootLength(folder) == folder.size())
        return folder + std::string(name);
    return folder + "/" + std::string(name);
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::error_code error;
    std::vector<std::string> names = platform::folderEntries(folder.empty() ? "." : folder, &error);
    if (error && !platform::meansAbsent(error))
        throw FoxProError(kErrorFile, folder + ": cannot list the folder: " + error.message());
    return names;
}

std::string findFileNoCase(const std::string& folder, std::string_view fileName) {
    std::string best;
    for (const auto& name : listFolder(folder)) {
        if (name == fileName) {
            best = name;
            break;
        }
        // Several names differing only in case: the smallest wins, so that
        // the choice does not depend on directory order.
        if (equalsNoCase(name, fileName) && (best.empty() || name < best)) best = name;
    }
    return best.empty() ? "" : joinPath(folder.empty() ? "." : folder, best);
}

std::string parentFolder(const std::string& path) {
    const std::size_t root = platform::rootLength(path);
    const std::size_t slash = platform::lastSeparator(path);
    if (slash == std::string::npos || slash < root) return root ? path.substr(0, root) : ".";
    return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = platform::lastSeparator(path);
    const std::size_t root = platform::rootLength(path);
    return path.substr(slash == std::string::npos ? root : std::max(slash + 1, root));
}

}  // namespace quorvel::foxpro
