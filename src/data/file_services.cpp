#include "data/file_services.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "foxpro/ascii_case.h"

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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    std::string base = folder;
    if (base.empty() || base.back() != '/') base += '/';

    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(base.c_str()), &::closedir);
    if (!dir) {
        throw std::runtime_error("Cannot list folder " + folder + ": " + std::strerror(errno));
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!matchesPattern(name, pattern)) continue;
        // Folders (also one named "archive.dbf") and anything that cannot be
        // opened are left out; the open test settles what d_type cannot.
        if (entry->d_type == DT_DIR) continue;
        if (IsExistingFile(base + name)) names.push_back(name);
    }
    return names;
}

}  // namespace quorvel::data
