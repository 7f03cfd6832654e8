#pragma once

#include <cstdint>

namespace quorvel::foxpro::platform {

// An open file as the system knows it: a file descriptor on POSIX systems,
// a HANDLE on Windows.  One integer type for both, so that the interfaces
// above the platform part are the same everywhere.
using NativeHandle = std::intptr_t;

// No open file (-1 is also what Windows calls INVALID_HANDLE_VALUE).
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace quorvel::foxpro::platform
