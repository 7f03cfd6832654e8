#pragma once

#include <cstddef>
#include <string>
#include <system_error>

#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

// What a name that the user gave for a file this program writes names now,
// links followed.  Only a regular file (or nothing) may be replaced by a
// new file under that name; a stream is written through, so that a FIFO or
// a device stays what it is; anything else is never written.
enum class OutputKind {
    Missing,      // nothing there: a new file is made
    RegularFile,  // replaced whole
    Stream,       // a FIFO, a pipe or a character device (/dev/null, a terminal)
    Refused       // a folder, a block device, a socket
};

struct OutputTarget {
    OutputKind kind = OutputKind::Missing;
    std::string what;  // for Refused: "a folder", "a block device", "a socket", "a device"
};

OutputTarget outputTargetOf(const std::string& path);

// A stream (OutputKind::Stream) opened for writing, bytes going out in the
// order written.  Calls report the system's error and throw nothing.
class OutputStream {
  public:
    OutputStream() = default;
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Opens path for writing, never creating or truncating anything.  A FIFO
    // that no process has open for reading is not waited for: the open
    // fails at once with no_such_device_or_address.  Then a write waits for
    // a slow reader as writes to a pipe do.
    std::error_code open(const std::string& path);
    bool isOpen() const { return file_ != kNoHandle; }

    // Writes every byte; a reader that has gone gives broken_pipe (never
    // the signal that would end the process).
    std::error_code write(const void* data, std::size_t size);
    // Closed afterwards either way.
    std::error_code close();

  private:
    NativeHandle file_ = kNoHandle;
};

}  // namespace quorvel::foxpro::platform
