#pragma once

#include <cstdio>

namespace quorvel::foxpro::platform {

// An unnamed file for data that outgrows memory, open for reading and
// writing; it goes when closed or when the process ends.  nullptr when it
// cannot be made, with errno saying why.
std::FILE* openScratchFile();

}  // namespace quorvel::foxpro::platform
