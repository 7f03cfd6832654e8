#pragma once

#include <string>

namespace quorvel::foxpro::platform {

// What a path names, links followed.  Anything but a regular file or a
// folder (a FIFO, a socket, a device) is Other: opening it to read could
// block for ever or have side effects, so it is refused before it is opened.
enum class PathKind { Missing, RegularFile, Folder, Other };

PathKind pathKind(const std::string& path);

// The message for a path that names no regular file where one is expected:
// "<displayName> is not a regular file".
std::string notRegularFileText(const std::string& displayName);

}  // namespace quorvel::foxpro::platform
