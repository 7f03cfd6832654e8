#include "foxpro/write/new_folder.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/path_text.h"
#include "foxpro/platform/process_token.h"
#include "foxpro/platform/writable_folder.h"
#include "foxpro/read/file_names.h"

namespace quorvel::foxpro {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& folder, const std::string& why) {
    throw FoxProError(kErrorFile, folder + ": " + why);
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(platform::pathFromText(path), ec));
}

// The owner token of a hidden folder's name after its prefix: the token
// itself ends before the last '-' (the random part).
std::string ownerOf(const std::string& rest) {
    const auto dash = rest.rfind('-');
    return dash == std::string::npos ? std::string() : rest.substr(0, dash);
}

void removeOrphans(const std::string& parent, const std::string& prefix) {
    for (const auto& entry : platform::folderEntries(parent)) {
        if (!entry.starts_with(prefix)) continue;
        const std::string owner = ownerOf(entry.substr(prefix.size()));
        if (owner.empty() || platform::ownerState(owner) != platform::OwnerState::Gone) continue;
        std::error_code ignored;
        fs::remove_all(platform::pathFromText(joinPath(parent, entry)), ignored);
    }
}

}  // namespace

std::string newFolderPrefix(const std::string& finalName) {
    return "." + finalName + ".quorvel-";
}

NewFolder::NewFolder(std::string finalPath) : final_(std::move(finalPath)) {
    while (final_.size() > 1 && (final_.back() == '/' || final_.back() == '\\')) final_.pop_back();
    if (final_.empty()) throw FoxProError(kErrorFile, "the new folder's name is empty");
    if (exists(final_)) fail(final_, "exists already; choose a new folder");
    const std::string parent = parentFolder(final_);
    const std::string name = fileNameOf(final_);
    if (name.empty() || name == "." || name == "..") fail(final_, "is no name for a new folder");
    std::error_code ec;
    if (!fs::is_directory(platform::pathFromText(parent), ec))
        fail(final_, "the folder " + parent + " does not exist");
    if (!platform::isWritableFolder(parent))
        fail(final_, "cannot create a folder in " + parent + " (not writable)");
    const std::string prefix = newFolderPrefix(name);
    removeOrphans(parent, prefix);
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        hidden_ = joinPath(
            parent, prefix + platform::processToken() + "-" + std::to_string(random() % 1000000));
        if (fs::create_directory(platform::pathFromText(hidden_), ec)) break;
        if (ec || attempt > 100) fail(final_, "cannot create the folder: " + ec.message());
    }
}

NewFolder::~NewFolder() {
    if (committed_) return;
    std::error_code ignored;
    fs::remove_all(platform::pathFromText(hidden_), ignored);
}

void NewFolder::commit() {
    // Every file's data first, then the folders' entries, then the rename:
    // after a crash the folder is there whole or is a hidden leftover.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(platform::pathFromText(hidden_), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = platform::textFromPath(it->path());
        if (it->is_regular_file(ec)) {
            if (auto error = platform::syncFile(path))
                fail(final_, "cannot write " + path + ": " + error.message());
        } else if (it->is_directory(ec)) {
            platform::syncFolder(path);
        }
    }
    if (ec) fail(final_, "cannot read back the new folder: " + ec.message());
    platform::syncFolder(hidden_);
    if (auto error = platform::moveNoReplace(hidden_, final_)) {
        if (error == std::errc::file_exists || error == std::errc::directory_not_empty)
            fail(final_, "appeared while the copy was made; the copy was not put in place");
        fail(final_, "cannot put the new folder in place: " + error.message());
    }
    committed_ = true;
    platform::syncFolder(parentFolder(final_));
}

}  // namespace quorvel::foxpro
