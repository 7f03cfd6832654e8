#pragma once

#include <string>

namespace quorvel::foxpro {

// A folder that appears whole or not at all: built under a hidden name
// beside where it goes (".NAME.quorvel-<owner>-<random>", owner being the
// process token) and renamed into place by commit(), which never replaces
// anything that took the name meanwhile.  Without commit() the destructor
// removes what was built.  Hidden folders of the same NAME whose writer is
// gone (killed) are removed when the next one is made; those of a writer
// still running, or of another machine, are left alone.
class NewFolder {
  public:
    // Throws FoxProError (kErrorFile, "FOLDER: ...") when finalPath exists
    // (whatever it is), its parent folder is missing or not writable, or the
    // hidden folder cannot be made.
    explicit NewFolder(std::string finalPath);
    ~NewFolder();
    NewFolder(const NewFolder&) = delete;
    NewFolder& operator=(const NewFolder&) = delete;

    // The hidden folder everything is built in until commit().
    const std::string& path() const { return hidden_; }
    const std::string& finalPath() const { return final_; }

    // Makes the content durable and renames the folder into place.  Throws
    // FoxProError; the folder is then not in place.
    void commit();

  private:
    std::string final_;
    std::string hidden_;
    bool committed_ = false;
};

// The hidden name prefix of the folders NewFolder builds for finalName.
std::string newFolderPrefix(const std::string& finalName);

}  // namespace quorvel::foxpro
