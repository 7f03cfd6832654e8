#pragma once

#include <cstdint>

#include "foxpro/platform/native_handle.h"

namespace quorvel::foxpro::platform {

// Asks the system to start putting [offset, offset + size) of a file open
// for writing on its disk now, without waiting for it: a long file written
// in pieces is then mostly on the disk when it is synced, instead of all of
// it being written by the sync.  Nothing happens where the system takes no
// such request; a refusal is no error (the sync still writes it all).
void startWriting(NativeHandle file, std::uint64_t offset, std::uint64_t size);

}  // namespace quorvel::foxpro::platform
