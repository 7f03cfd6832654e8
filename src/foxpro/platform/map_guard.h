#pragma once

#include <atomic>
#include <cstddef>

namespace quorvel::foxpro::platform {

// The process-wide guard of the read-only file maps (used by MappedFile
// only).  A read of a guarded map past the end of its file (which shrank
// after it was mapped) would end the process with a signal; inside a
// guarded range the rest of the map is replaced by zero pages instead, the
// read goes on, and *faulted is set for the reader to see.  Faults outside
// every guarded range go to whatever handled them before.
//
// Guards [begin, begin + length); returns the entry to pass to unguardMap,
// or -1 when every entry is taken.  *faulted must outlive the entry.
int guardMap(const void* begin, std::size_t length, std::atomic<bool>* faulted);
void unguardMap(int entry);

}  // namespace quorvel::foxpro::platform
