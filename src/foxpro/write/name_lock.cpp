#include "foxpro/write/name_lock.h"

#include <cstdio>
#include <utility>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

std::string NameLock::lockFileName(const std::string& fileName) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
    for (unsigned char c : lowerAscii(fileName)) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(kTemporaryPrefix) + hex + std::string(kLockSuffix);
}

std::optional<NameLock> NameLock::take(const std::string& folder, const std::string& fileName,
                                       AdvisoryLock::Wait wait) {
    const std::string path = folder + "/" + lockFileName(fileName);
    // A releasing holder removes the file while it holds the lock: a lock
    // taken on a file that is no longer the one at path is worth nothing,
    // and is taken again on the new one.
    for (;;) {
        auto lock = AdvisoryLock::takePath(path, fileName, platform::LockMode::Exclusive, wait,
                                           /*create=*/true);
        if (!lock) return std::nullopt;
        if (lock->identity() == platform::FileIdentity{})
            throw FoxProError(kErrorFile, fileName + ": cannot be locked: " + folder + " holds " +
                                              lockFileName(fileName) + ", which is no file");
        const auto now = platform::identityOfPath(path);
        if (now && *now == lock->identity()) return NameLock(path, std::move(*lock));
    }
}

NameLock::NameLock(NameLock&& other) noexcept
    : path_(std::exchange(other.path_, std::string())), lock_(std::move(other.lock_)) {}

NameLock& NameLock::operator=(NameLock&& other) noexcept {
    if (this != &other) {
        if (!path_.empty()) platform::removeFile(path_);
        path_ = std::exchange(other.path_, std::string());
        lock_ = std::move(other.lock_);
    }
    return *this;
}

NameLock::~NameLock() {
    if (!path_.empty()) platform::removeFile(path_);
}

}  // namespace quorvel::foxpro
