#include "foxpro/platform/user_text.h"

namespace quorvel::foxpro::platform {

std::string toUserTextEncoding(const std::string& utf8) {
    return utf8;
}

}  // namespace quorvel::foxpro::platform
