#pragma once

#include <string>
#include <system_error>

namespace quorvel::foxpro::platform {

// What a path names, links followed.  Anything but a regular file or a
// folder (a FIFO, a socket, a device) is Other: opening it to read could
// block for ever or have side effects, so it is refused before it is opened.
enum class PathKind { Missing, RegularFile, Folder, Other };

PathKind pathKind(const std::string& path);
// The same; Missing with error set when what the path names cannot be
// learned for a reason other than its absence (no permission on a folder
// on the way, too many files open), so that a message can name that cause.
PathKind pathKind(const std::string& path, std::error_code& error);

// Whether a failure to open or look at a path means that nothing is there:
// the name, or a folder on its way, does not exist (or cannot be a name).
inline bool meansAbsent(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory ||
           error == std::errc::invalid_argument;
}

// The message for a path that names no regular file where one is expected:
// "<displayName> is not a regular file".
std::string notRegularFileText(const std::string& displayName);

}  // namespace quorvel::foxpro::platform
