#pragma once

#include <string>
#include <vector>

namespace quorvel::foxpro::platform {

// The names in folder ("." and ".." left out), in the order the file system
// gives them; empty when the folder cannot be read.
std::vector<std::string> folderEntries(const std::string& folder);

}  // namespace quorvel::foxpro::platform
