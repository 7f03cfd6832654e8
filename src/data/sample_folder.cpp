#include "data/sample_folder.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "foxpro/platform/path_text.h"
#include "foxpro/platform/process_token.h"
#include "foxpro/platform/writable_folder.h"

namespace quorvel::data {

namespace fs = std::filesystem;

bool isWritableFolder(const std::string& folder) {
    return foxpro::platform::isWritableFolder(folder);
}

namespace {

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(foxpro::platform::pathFromText(path), ec);
}

[[noreturn]] void fail(const std::string& folder, const std::error_code& ec) {
    throw std::runtime_error(folder + ": cannot copy the samples: " + ec.message());
}

// The shipped files (the folders hold tables and memo files side by side)
// copied into a new folder beside target, which then takes target's name.
void copyWhole(const std::string& shipped, const std::string& target) {
    std::error_code ec;
    const fs::path targetPath = foxpro::platform::pathFromText(target);
    const fs::path parent = targetPath.parent_path();
    fs::create_directories(parent, ec);
    if (ec) fail(target, ec);
    fs::path temporary;
    for (std::random_device random;;) {
        temporary = parent /
                    foxpro::platform::pathFromText(
                        '.' + foxpro::platform::textFromPath(targetPath.filename()) + ".copy-" +
                        foxpro::platform::processToken() + "-" + std::to_string(random() % 100000));
        if (fs::create_directory(temporary, ec)) break;
        if (ec) fail(target, ec);
    }
    const auto abandon = [&](const std::error_code& failure) {
        std::error_code ignored;
        fs::remove_all(temporary, ignored);
        fail(target, failure);
    };
    for (const auto& entry : fs::directory_iterator(foxpro::platform::pathFromText(shipped), ec)) {
        if (!entry.is_regular_file(ec)) continue;
        const fs::path copy = temporary / entry.path().filename();
        if (!fs::copy_file(entry.path(), copy, ec)) abandon(ec);
        // Shipped files may be read-only; the user's copies are the user's.
        fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                        ec);
        if (ec) abandon(ec);
    }
    if (ec) abandon(ec);
    fs::rename(temporary, targetPath, ec);
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
