#pragma once

#include <string>
#include <system_error>

#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

enum class LockMode { Shared, Exclusive };

enum class LockResult {
    Locked,
    Busy,         // another holder conflicts (only without waiting)
    Unsupported,  // the file system keeps no locks: go on without one
    Failed        // error says why
};

// A record lock over the whole of the open file (from byte 0 on, however
// far the file grows: POSIX record locks, which file servers map to their
// own; on Windows LockFileEx over a range far past the data, inside that
// whole-file range, since Windows enforces its locks on reads and writes
// through other handles).  The lock belongs to the
// open file, not to the process: two opens of one file in one process
// exclude each other, and closing another handle of the file does not drop
// it.  Closing the handle releases it.  wait: block until it is granted (a
// signal does not end the wait); otherwise Busy at once.  A shared lock
// needs the file open for reading, an exclusive one for writing.
LockResult lockFile(NativeHandle file, LockMode mode, bool wait, std::error_code& error);

void unlockFile(NativeHandle file);

// A handle of the file at path to hold a lock through: read-only for a
// shared lock, read-write for an exclusive one; create makes a missing
// file.  Never blocks (a FIFO is opened without waiting for a writer).
// Gives the file's identity.  kNoHandle and error when it cannot be opened;
// kNoHandle and no error when path is no regular file (there is nothing to
// lock).
NativeHandle openForLock(const std::string& path, LockMode mode, bool create,
                         FileIdentity& identity, std::error_code& error);

// Closes a handle of openForLock or of a file sink; kNoHandle is ignored.
void closeHandle(NativeHandle file);

}  // namespace quorvel::foxpro::platform
