#include "data/sample_folder.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

namespace quorvel::data {

namespace fs = std::filesystem;

bool isWritableFolder(const std::string& folder) {
    struct statvfs info {};
    return ::access(folder.c_str(), W_OK | X_OK) == 0 && ::statvfs(folder.c_str(), &info) == 0 &&
           (info.f_flag & ST_RDONLY) == 0;
}

namespace {

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

[[noreturn]] void fail(const std::string& folder, const std::error_code& ec) {
    throw std::runtime_error(folder + ": cannot copy the samples: " + ec.message());
}

// The shipped files (the folders hold tables and memo files side by side)
// copied into a new folder beside target, which then takes target's name.
void copyWhole(const std::string& shipped, const std::string& target) {
    std::error_code ec;
    const fs::path parent = fs::path(target).parent_path();
    fs::create_directories(parent, ec);
    if (ec) fail(target, ec);
    fs::path temporary;
    for (std::random_device random;;) {
        temporary = parent / ("." + fs::path(target).filename().string() + ".copy-" +
                              std::to_string(::getpid()) + "-" + std::to_string(random() % 100000));
        if (fs::create_directory(temporary, ec)) break;
        if (ec) fail(target, ec);
    }
    const auto abandon = [&](const std::error_code& failure) {
        std::error_code ignored;
        fs::remove_all(temporary, ignored);
        fail(target, failure);
    };
    for (const auto& entry : fs::directory_iterator(shipped, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        const fs::path copy = temporary / entry.path().filename();
        if (!fs::copy_file(entry.path(), copy, ec)) abandon(ec);
        // Shipped files may be read-only; the user's copies are the user's.
        fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                        ec);
        if (ec) abandon(ec);
    }
    if (ec) abandon(ec);
    fs::rename(temporary, target, ec);
    // Another run may have made the copy in the meantime: that one is used.
    if (ec && isFolder(target)) {
        fs::remove_all(temporary, ec);
        return;
    }
    if (ec) abandon(ec);
}

}  // namespace

std::string usableSampleFolder(const std::string& shipped, const std::string& userCopy,
                               const std::function<bool(const std::string&)>& writable) {
    if (!isFolder(shipped) || writable(shipped)) return shipped;
    if (!isFolder(userCopy)) copyWhole(shipped, userCopy);
    return userCopy;
}

}  // namespace quorvel::data
