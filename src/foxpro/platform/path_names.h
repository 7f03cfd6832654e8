#pragma once

#include <cstddef>
#include <string_view>

namespace quorvel::foxpro::platform {

// Where a path's names part, by the system's rule: '/' on POSIX systems;
// '/' or '\' on Windows, whose paths may also start with a drive ("C:",
// "C:\") or a share ("\\server\share\").  Paths are joined with '/', which
// both take.

// The position of the path's last separator, npos when it has none.
std::size_t lastSeparator(std::string_view path);

// The length of the path's root ("/"; "C:\", "C:" or "\\server\share\"),
// 0 for a relative path.
std::size_t rootLength(std::string_view path);

}  // namespace quorvel::foxpro::platform
