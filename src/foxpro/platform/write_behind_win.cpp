#include "foxpro/platform/write_behind.h"

namespace quorvel::foxpro::platform {

// Windows writes a file's pages out on its own schedule and takes no request
// for a part of a file; FlushFileBuffers at the sync writes what is left.
void startWriting(NativeHandle, std::uint64_t, std::uint64_t) {}

}  // namespace quorvel::foxpro::platform
