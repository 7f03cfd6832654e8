#include "foxpro/platform/scratch_file.h"

namespace quorvel::foxpro::platform {

std::FILE* openScratchFile() {
    return std::tmpfile();
}

}  // namespace quorvel::foxpro::platform
