#include "foxpro/read/advisory_lock.h"

#include <map>
#include <mutex>
#include <utility>

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

namespace {

// The locks this process holds on one file.  Shared locks taken by path
// share one lock of the system, on a handle kept here while any of them
// lives: the program's readers of one file (the merge reads a record of
// Table #2 per line) cost a stat each, not an open, a lock and a close.
struct Held {
    int shared = 0;
    int exclusive = 0;
    platform::NativeHandle sharedFd = platform::kNoHandle;  // the pooled shared lock's handle
};

std::mutex gMutex;
std::map<std::pair<std::uint64_t, std::uint64_t>, Held> gHeld;
std::function<void(const std::string&)> gWaitHook;

std::pair<std::uint64_t, std::uint64_t> keyOf(const platform::FileIdentity& id) {
    return {id.device, id.inode};
}

// A writer of this process that reads its own table (the code page of a
// table without a mark is read from its text) reads under its own lock: a
// shared lock beside this process's exclusive one is granted without one of
// the system.  Everything else that meets a lock of this process conflicts.
bool conflicts(const Held& held, platform::LockMode mode) {
    return mode == platform::LockMode::Exclusive && (held.exclusive > 0 || held.shared > 0);
}

}  // namespace

void setLockWaitHookForTesting(std::function<void(const std::string& fileName)> hook) {
    std::lock_guard guard(gMutex);
    gWaitHook = std::move(hook);
}

std::optional<AdvisoryLock> AdvisoryLock::take(platform::NativeHandle fd,
                                               const std::string& fileName, platform::LockMode mode,
                                               Wait wait) {
    const auto identity = platform::identityOfFile(fd);
    if (!identity) throw FoxProError(kErrorFile, fileName + ": cannot be locked");
    return lock(fd, false, *identity, fileName, mode, wait);
}

std::optional<AdvisoryLock> AdvisoryLock::takePath(const std::string& path,
                                                   const std::string& fileName,
                                                   platform::LockMode mode, Wait wait,
                                                   bool create) {
    const bool shared = mode == platform::LockMode::Shared;
    if (shared) {
        if (const auto identity = platform::identityOfPath(path)) {
            std::lock_guard guard(gMutex);
            auto it = gHeld.find(keyOf(*identity));
            if (it != gHeld.end() &&
                (it->second.exclusive > 0 || it->second.sharedFd != platform::kNoHandle)) {
                ++it->second.shared;
                return AdvisoryLock(platform::kNoHandle, false, true, *identity, mode);
            }
        }
    }
    std::error_code error;
    platform::FileIdentity identity;
    const platform::NativeHandle fd = platform::openForLock(path, mode, create, identity, error);
    if (fd == platform::kNoHandle && error) {
        const auto slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        throw FoxProError(
            kErrorFile,
            fileName + (create ? ": cannot create in " + folder : std::string(": cannot open")) +
                ": " + error.message());
    }
    if (fd == platform::kNoHandle) return AdvisoryLock(platform::kNoHandle, false, false, {}, mode);
    auto taken = lock(fd, true, identity, fileName, mode, wait);
    if (shared && taken && taken->held_) {
        // Into the pool: the handle stays with the file's entry.
        std::lock_guard guard(gMutex);
        Held& held = gHeld[keyOf(identity)];
        if (held.sharedFd == platform::kNoHandle) {
            held.sharedFd = std::exchange(taken->fd_, platform::kNoHandle);
            taken->ownsFd_ = false;
        }
    }
    return taken;
}

std::optional<AdvisoryLock> AdvisoryLock::lock(platform::NativeHandle fd, bool ownsFd,
                                               const platform::FileIdentity& identity,
                                               const std::string& fileName, platform::LockMode mode,
                                               Wait wait) {
    auto giveUp = [&] {
        if (ownsFd) platform::closeHandle(fd);
    };
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard guard(gMutex);
        auto it = gHeld.find(keyOf(identity));
        if (it != gHeld.end() && conflicts(it->second, mode)) {
            giveUp();
            if (wait == Wait::No) return std::nullopt;
            throw FoxProError(kErrorFile,
                              fileName + ": in use by another operation of this program");
        }
        if (it != gHeld.end() && it->second.exclusive > 0) {
            giveUp();
            ++it->second.shared;
            return AdvisoryLock(platform::kNoHandle, false, true, identity, mode);
        }
        hook = gWaitHook;
    }
    std::error_code error;
    platform::LockResult result = platform::lockFile(fd, mode, false, error);
    if (result == platform::LockResult::Busy && wait == Wait::Yes) {
        if (hook) hook(fileName);
        result = platform::lockFile(fd, mode, true, error);
    }
    switch (result) {
        case platform::LockResult::Locked:
            break;
        case platform::LockResult::Unsupported:
            return AdvisoryLock(fd, ownsFd, false, identity, mode);
        case platform::LockResult::Busy:
            giveUp();
            return std::nullopt;
        case platform::LockResult::Failed:
            giveUp();
            throw FoxProError(kErrorFile, fileName + ": cannot be locked: " + error.message());
    }
    std::lock_guard guard(gMutex);
    Held& held = gHeld[keyOf(identity)];
    ++(mode == platform::LockMode::Shared ? held.shared : held.exclusive);
    return AdvisoryLock(fd, ownsFd, true, identity, mode);
}

AdvisoryLock::AdvisoryLock(AdvisoryLock&& other) noexcept
    : fd_(std::exchange(other.fd_, platform::kNoHandle)),
      ownsFd_(other.ownsFd_),
      held_(std::exchange(other.held_, false)),
      identity_(other.identity_),
      mode_(other.mode_) {}

AdvisoryLock& AdvisoryLock::operator=(AdvisoryLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, platform::kNoHandle);
        ownsFd_ = other.ownsFd_;
        held_ = std::exchange(other.held_, false);
        identity_ = other.identity_;
        mode_ = other.mode_;
    }
    return *this;
}

AdvisoryLock::~AdvisoryLock() {
    release();
}

void AdvisoryLock::release() noexcept {
    if (held_) {
        platform::NativeHandle pooled = platform::kNoHandle;
        {
            std::lock_guard guard(gMutex);
            auto it = gHeld.find(keyOf(identity_));
            if (it != gHeld.end()) {
                Held& held = it->second;
                --(mode_ == platform::LockMode::Shared ? held.shared : held.exclusive);
                if (held.shared == 0) pooled = std::exchange(held.sharedFd, platform::kNoHandle);
                if (held.shared == 0 && held.exclusive == 0) gHeld.erase(it);
            }
        }
        // A handle of the lock's own unlocks as it closes.
        if (!ownsFd_ && fd_ != platform::kNoHandle) platform::unlockFile(fd_);
        platform::closeHandle(pooled);
        held_ = false;
    }
    if (ownsFd_ && fd_ != platform::kNoHandle) platform::closeHandle(fd_);
    fd_ = platform::kNoHandle;
}

}  // namespace quorvel::foxpro
