#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

std::vector<std::string> folderEntries(const std::string& folder, std::error_code* error) {
    std::vector<std::string> names;
    if (error) error->clear();
    std::string pattern = folder.empty() ? std::string(".") : folder;
    if (pattern.back() != '/' && pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileExW(widePath(pattern).c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // An empty drive root has no entries at all.
        if (code != ERROR_FILE_NOT_FOUND && error) *error = windowsError(code);
        return names;
    }
    do {
        const std::wstring_view name(entry.cFileName);
        if (name != L"." && name != L"..") names.push_back(utf8FromWide(name));
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

}  // namespace quorvel::foxpro::platform
