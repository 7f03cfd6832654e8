#pragma once

#include <string>
#include <system_error>

#include "foxpro/platform/file_identity.h"

namespace quorvel::foxpro::platform {

enum class LockMode { Shared, Exclusive };

enum class LockResult {
    Locked,
    Busy,         // another holder conflicts (only without waiting)
    Unsupported,  // the file system keeps no locks: go on without one
    Failed        // error says why
};

// An advisory record lock over the whole of the open file fd (POSIX record
// locks, which file servers map to their own; on Windows LockFileEx).  The
// lock belongs to the open file, not to the process: two opens of one file
// in one process exclude each other, and closing another descriptor of the
// file does not drop it.  Closing fd releases it.  wait: block until it is
// granted (a signal does not end the wait); otherwise Busy at once.  A
// shared lock needs fd open for reading, an exclusive one for writing.
LockResult lockFile(int fd, LockMode mode, bool wait, std::error_code& error);

void unlockFile(int fd);

// A handle of the file at path to hold a lock through: read-only for a
// shared lock, read-write for an exclusive one; create makes a missing
// file.  Never blocks (a FIFO is opened without waiting for a writer).
// Gives the file's identity.  -1 and error when it cannot be opened; -1 and
// no error when path is no regular file (there is nothing to lock).
int openForLock(const std::string& path, LockMode mode, bool create, FileIdentity& identity,
                std::error_code& error);

void closeHandle(int fd);

}  // namespace quorvel::foxpro::platform
