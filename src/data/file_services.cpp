#include "data/file_services.h"

#include <stdexcept>
#include <system_error>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/folder_entries.h"

namespace quorvel::data {

std::string BrowseForFolder(frame::Dialogs& owner, const std::string& title,
                            const std::string& startFolder) {
    std::string folder = owner.chooseFolder(title, startFolder);
    // A chosen folder is returned without its trailing separator, except the
    // root, which is nothing without it.
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool matchesPattern(const std::string& name, const std::string& pattern) {
    // Iterative wildcard match with one backtrack point: linear enough for
    // file names and free of recursion on hostile patterns.
    size_t n = 0, p = 0, star = std::string::npos, mark = 0;
    auto same = [](char a, char b) {
        return foxpro::lowerAsciiChar(a) == foxpro::lowerAsciiChar(b);
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool IsExistingFile(const std::string& path) {
    if (path.empty()) return false;
    // Opening it settles what a look at the name cannot (a file this user
    // may not read); the reader refuses anything but a regular file without
    // waiting on it.
    try {
        foxpro::platform::FileReader reader(path, path);
        return true;
    } catch (const foxpro::FoxProError&) {
        return false;
    }
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    std::string base = folder;
    if (base.empty() || base.back() != '/') base += '/';

    std::error_code error;
    const std::vector<std::string> entries = foxpro::platform::folderEntries(base, &error);
    if (error) throw std::runtime_error("Cannot list folder " + folder + ": " + error.message());
    std::vector<std::string> names;
    for (const std::string& name : entries) {
        // Folders (also one named "archive.dbf") and anything that cannot be
        // opened are left out.
        if (matchesPattern(name, pattern) && IsExistingFile(base + name)) names.push_back(name);
    }
    return names;
}

}  // namespace quorvel::data
