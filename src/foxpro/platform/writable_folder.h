#pragma once

#include <string>

namespace quorvel::foxpro::platform {

// True when this user may create files in folder and its file system is
// not mounted read-only.
bool isWritableFolder(const std::string& folder);

}  // namespace quorvel::foxpro::platform
