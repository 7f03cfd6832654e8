#pragma once

#include <string>
#include <vector>

#include "frame/dialogs.h"

namespace quorvel::data {

// The folder dialog through the dialog seam, which stands for the owner
// window; only folders can be chosen.  Returns the chosen folder without a
// trailing '/' (the root stays "/"), or "" when the user cancels.
std::string BrowseForFolder(frame::Dialogs& owner, const std::string& title,
                            const std::string& startFolder);

// Names (no folder part) of the regular files in folder whose names match
// pattern ('*' and '?') without regard to case, hidden files included,
// folders excluded, in the order the file system returns them.  folder may
// end in '/' or not.  A folder that cannot be read throws std::runtime_error
// naming it; a folder without a match gives an empty list.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// True when path is a regular file that can be opened for reading.
bool IsExistingFile(const std::string& path);

// Case-insensitive match of a file name against a '*' / '?' pattern.
bool matchesPattern(const std::string& name, const std::string& pattern);

}  // namespace quorvel::data
