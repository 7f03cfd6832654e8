#pragma once

#include <optional>
#include <string>

#include "foxpro/read/advisory_lock.h"

namespace quorvel::foxpro {

// The right to put a file of a given name into a folder: held while a new
// table of that name is built and moved into place, so that two writers of
// one name (two merges, two copies) never mix their files.  It is a lock on
// a small hidden file named after the name ("~quorvel-<hash>.lck", the
// hash of the name in lower case), which the holder removes on release.
class NameLock {
  public:
    // nullopt when another holder has the name and wait is No.  Throws
    // FoxProError when the folder cannot hold the lock file, and (wait Yes)
    // when this process holds the name already.
    static std::optional<NameLock> take(const std::string& folder, const std::string& fileName,
                                        AdvisoryLock::Wait wait);

    NameLock(NameLock&& other) noexcept;
    NameLock& operator=(NameLock&& other) noexcept;
    NameLock(const NameLock&) = delete;
    ~NameLock();

    // The lock file's name for a file name ("~quorvel-0123456789abcdef.lck").
    static std::string lockFileName(const std::string& fileName);

  private:
    NameLock(std::string path, AdvisoryLock lock)
        : path_(std::move(path)), lock_(std::move(lock)) {}

    std::string path_;  // "" once moved from
    AdvisoryLock lock_;
};

}  // namespace quorvel::foxpro
