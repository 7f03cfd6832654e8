#pragma once

#include <string>

namespace quorvel::cli {

// A folder of its own under the system's temporary folder, for copies that
// a verb lays out as tables (a table beside its memo file); removed with
// everything in it when the object goes.  Throws std::runtime_error when
// none can be made.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Writes bytes to path as a new file; throws std::runtime_error naming it.
void writeWholeFile(const std::string& path, const std::string& bytes);

// The bytes of the file at path; throws std::runtime_error naming it.
std::string readWholeFile(const std::string& path);

}  // namespace quorvel::cli
