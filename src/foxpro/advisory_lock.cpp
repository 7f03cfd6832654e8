#include "foxpro/advisory_lock.h"

#include <map>
#include <mutex>
#include <utility>

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

namespace {

struct Held {
    int shared = 0;
    int exclusive = 0;
};

std::mutex gMutex;
std::map<std::pair<std::uint64_t, std::uint64_t>, Held> gHeld;
std::function<void(const std::string&)> gWaitHook;

std::pair<std::uint64_t, std::uint64_t> keyOf(const platform::FileIdentity& id) {
    return {id.device, id.inode};
}

bool conflicts(const Held& held, platform::LockMode mode) {
    return held.exclusive > 0 || (mode == platform::LockMode::Exclusive && held.shared > 0);
}

}  // namespace

void setLockWaitHookForTesting(std::function<void(const std::string& fileName)> hook) {
    std::lock_guard lock(gMutex);
    gWaitHook = std::move(hook);
}

std::optional<AdvisoryLock> AdvisoryLock::take(int fd, const std::string& fileName,
                                               platform::LockMode mode, Wait wait) {
    const auto identity = platform::identityOfFile(fd);
    if (!identity) throw FoxProError(kErrorFile, fileName + ": cannot be locked");
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(gMutex);
        auto it = gHeld.find(keyOf(*identity));
        if (it != gHeld.end() && conflicts(it->second, mode)) {
            if (wait == Wait::No) return std::nullopt;
            throw FoxProError(kErrorFile,
                              fileName + ": in use by another operation of this program");
        }
        hook = gWaitHook;
    }
    const int own = platform::duplicateHandle(fd);
    if (own < 0) throw FoxProError(kErrorFile, fileName + ": cannot be locked");
    std::error_code error;
    platform::LockResult result = platform::lockFile(own, mode, false, error);
    if (result == platform::LockResult::Busy && wait == Wait::Yes) {
        if (hook) hook(fileName);
        result = platform::lockFile(own, mode, true, error);
    }
    switch (result) {
        case platform::LockResult::Locked:
            break;
        case platform::LockResult::Unsupported:
            platform::closeHandle(own);
            return AdvisoryLock(-1, *identity, mode);
        case platform::LockResult::Busy:
            platform::closeHandle(own);
            return std::nullopt;
        case platform::LockResult::Failed:
            platform::closeHandle(own);
            throw FoxProError(kErrorFile, fileName + ": cannot be locked: " + error.message());
    }
    std::lock_guard lock(gMutex);
    Held& held = gHeld[keyOf(*identity)];
    ++(mode == platform::LockMode::Shared ? held.shared : held.exclusive);
    return AdvisoryLock(own, *identity, mode);
}

std::optional<AdvisoryLock> AdvisoryLock::takePath(const std::string& path,
                                                   const std::string& fileName,
                                                   platform::LockMode mode, Wait wait,
                                                   bool create) {
    std::error_code error;
    const int fd = platform::openForLock(path, mode, create, error);
    if (fd < 0 && error)
        throw FoxProError(kErrorFile, fileName + ": cannot open: " + error.message());
    if (fd < 0) return AdvisoryLock(-1, {}, mode);
    try {
        auto lock = take(fd, fileName, mode, wait);
        platform::closeHandle(fd);
        return lock;
    } catch (...) {
        platform::closeHandle(fd);
        throw;
    }
}

AdvisoryLock::AdvisoryLock(AdvisoryLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), identity_(other.identity_), mode_(other.mode_) {}

AdvisoryLock& AdvisoryLock::operator=(AdvisoryLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        identity_ = other.identity_;
        mode_ = other.mode_;
    }
    return *this;
}

AdvisoryLock::~AdvisoryLock() {
    release();
}

void AdvisoryLock::release() noexcept {
    if (fd_ < 0) return;
    {
        std::lock_guard lock(gMutex);
        auto it = gHeld.find(keyOf(identity_));
        if (it != gHeld.end()) {
            --(mode_ == platform::LockMode::Shared ? it->second.shared : it->second.exclusive);
            if (it->second.shared == 0 && it->second.exclusive == 0) gHeld.erase(it);
        }
    }
    platform::unlockFile(fd_);
    platform::closeHandle(fd_);
    fd_ = -1;
}

}  // namespace quorvel::foxpro
