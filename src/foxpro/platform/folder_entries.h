#pragma once

#include <string>
#include <system_error>
#include <vector>

namespace quorvel::foxpro::platform {

// The names in folder ("." and ".." left out), in the order the file system
// gives them; empty, and error set when given, when the folder cannot be
// read.
std::vector<std::string> folderEntries(const std::string& folder,
                                       std::error_code* error = nullptr);

}  // namespace quorvel::foxpro::platform
