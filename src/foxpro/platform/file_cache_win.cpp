#include "foxpro/platform/file_cache.h"

namespace quorvel::foxpro::platform {

// Windows takes no request to drop one file's cached pages.
void forgetCachedPages(const std::string&) {}

}  // namespace quorvel::foxpro::platform
