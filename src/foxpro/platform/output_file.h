#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

class FileReader;

// One piece of a gathered write.
struct WritePiece {
    const void* data;
    std::size_t size;
};

// A file opened for writing and reading back, by the writing side of the
// table-access layer and the text report.  Calls report the system's error
// and throw nothing; an error that has a POSIX number comes in the generic
// category on every system, so that messages read the same everywhere.
// Writes are whole: a call that returns no error wrote every byte.
class OutputFile {
  public:
    enum class Mode {
        Existing,  // an existing file, never created
        CreateNew  // a new file; fails (file_exists) when the name is taken
    };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens path for reading and writing; the file is left closed on error.
    // A new file gets the permissions the user's new files get.
    std::error_code open(const std::string& path, Mode mode);
    bool isOpen() const { return file_ != kNoHandle; }
    NativeHandle handle() const { return file_; }

    std::error_code writeAt(std::uint64_t offset, const void* data, std::size_t size);
    // The pieces one after the other from offset, in as few system calls as
    // the system allows.
    std::error_code writePiecesAt(std::uint64_t offset, const WritePiece* pieces,
                                  std::size_t count);
    // Copies up to size bytes of source from sourceOffset to offset inside
    // the kernel, where the system and the file systems allow it; copied
    // tells how many.  Fewer than size (0 where there is no such copy, or
    // where the source ended) and no error: the caller copies the rest.
    std::error_code copyFromFile(const FileReader& source, std::uint64_t sourceOffset,
                                 std::uint64_t offset, std::uint64_t size, std::uint64_t& copied);
    // Reads up to size bytes; got is fewer only where the file ends.
    std::error_code readAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got);
    std::error_code size(std::uint64_t& bytes);
    std::error_code truncate(std::uint64_t size);
    // Makes the data written durable (and what is needed to read it back).
    std::error_code syncData();
    // Closes the file, reporting what the system reports (a write it could
    // not make before).  Closed afterwards either way.
    std::error_code close();

  private:
    NativeHandle file_ = kNoHandle;
};

}  // namespace quorvel::foxpro::platform
