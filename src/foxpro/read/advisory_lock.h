#pragma once

#include <functional>
#include <optional>
#include <string>

#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_lock.h"

namespace quorvel::foxpro {

// A lock on a whole file (platform/file_lock.h) that this process holds, and
// that every other part of the process knows about: a lock that would
// conflict with one this process holds already (a statement writing a table
// that a record set of the same program is reading) fails at once instead
// of waiting for itself; a writer's own reads of its table go on under its
// lock.  Other processes are waited for.
class AdvisoryLock {
  public:
    enum class Wait { Yes, No };

    // Locks the open file, which the caller keeps open for longer than
    // the lock.  Returns nullopt when a holder conflicts and wait is No.
    // Throws FoxProError(kErrorFile, "<fileName>: ...") when a holder in this
    // process conflicts and wait is Yes, or when the lock cannot be taken.
    // A file system without locks gives a lock that holds nothing.
    static std::optional<AdvisoryLock> take(platform::NativeHandle file, const std::string& fileName,
                                            platform::LockMode mode, Wait wait);
    // The same for the file at path, opened for the lock alone (created
    // when create is set) and closed with it ("<fileName>: cannot open: ..."
    // or "<fileName>: cannot create in <folder>: ..." when it cannot be).  A path that names no
    // regular file gives a lock that holds nothing and has no identity (whoever opens it for its
    // data reports that).
    static std::optional<AdvisoryLock> takePath(const std::string& path,
                                                const std::string& fileName,
                                                platform::LockMode mode, Wait wait,
                                                bool create = false);

    // The file locked (device and file number); zeros when none was.
    const platform::FileIdentity& identity() const { return identity_; }

    AdvisoryLock(AdvisoryLock&& other) noexcept;
    AdvisoryLock& operator=(AdvisoryLock&& other) noexcept;
    AdvisoryLock(const AdvisoryLock&) = delete;
    ~AdvisoryLock();

  private:
    static std::optional<AdvisoryLock> lock(platform::NativeHandle fd, bool ownsFd,
                                            const platform::FileIdentity& identity,
                                            const std::string& fileName, platform::LockMode mode,
                                            Wait wait);
    void release() noexcept;
    AdvisoryLock(platform::NativeHandle fd, bool ownsFd, bool held, platform::FileIdentity identity,
                 platform::LockMode mode)
        : fd_(fd), ownsFd_(ownsFd), held_(held), identity_(identity), mode_(mode) {}

    platform::NativeHandle fd_ = platform::kNoHandle;  // kNoHandle once moved from
    bool ownsFd_ = false;  // the handle is the lock's own (takePath): closing it unlocks
    bool held_ = false;    // false: a file system without locks, or no regular file
    platform::FileIdentity identity_;
    platform::LockMode mode_;
};

// Test hook: runs (with the file's name) when a lock is about to wait for
// another process, so that a test can go on once the waiter waits.
void setLockWaitHookForTesting(std::function<void(const std::string& fileName)> hook);

}  // namespace quorvel::foxpro
