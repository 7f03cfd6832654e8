#pragma once

#include <functional>
#include <string>

namespace quorvel::data {

// True when new files can be made in folder (the merge writes its new table
// beside the tables it reads): write access and a file system mounted for
// writing.  False for a folder that does not exist.
bool isWritableFolder(const std::string& folder);

// The sample folder that "Load Sample/Example Database" puts into the folder
// box.  The shipped folder itself when it can be written to, or when it does
// not exist (the box then names the missing folder, as without samples).
// Otherwise userCopy: made once, as a copy of the shipped folder's files
// (whole or not at all: the files are copied into a temporary folder beside
// it that is then renamed), and used as it stands after that, so that the
// tables the user made or changed there stay.  Throws std::runtime_error
// naming the folder and the problem when the copy cannot be made.
std::string usableSampleFolder(
    const std::string& shipped, const std::string& userCopy,
    const std::function<bool(const std::string&)>& writable = isWritableFolder);

}  // namespace quorvel::data
