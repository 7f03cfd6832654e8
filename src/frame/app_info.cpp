#include "frame/app_info.h"

namespace quorvel::frame {

// Given by the build, from the project's version, to this file alone.
const char* const kVersion = QUORVEL_VERSION;

std::string SetApplicationTitle(const std::string& productTitle) {
    std::string title = productTitle;
    while (title.size() > 40) {
        const auto blank = title.rfind(' ');
        if (blank == std::string::npos) {
            title.resize(40);  // one long word: nothing to drop but characters
            break;
        }
        title.resize(blank);
    }
    return title;
}

}  // namespace quorvel::frame
