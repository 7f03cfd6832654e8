#pragma once

#include <string>

namespace quorvel::foxpro::platform {

// Lets the system drop the pages it keeps in memory of the file at path,
// which stays as it is.  For a file about to be replaced: its memory is
// free for the new file's pages at once, and replacing it frees nothing
// more.  Pages still written or mapped stay; nothing happens where the
// system takes no such request, or when path names no file.
void forgetCachedPages(const std::string& path);

}  // namespace quorvel::foxpro::platform
