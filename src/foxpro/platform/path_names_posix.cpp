#include "foxpro/platform/path_names.h"

namespace quorvel::foxpro::platform {

std::size_t lastSeparator(std::string_view path) {
    return path.rfind('/');
}

std::size_t rootLength(std::string_view path) {
    return !path.empty() && path.front() == '/' ? 1 : 0;
}

}  // namespace quorvel::foxpro::platform
