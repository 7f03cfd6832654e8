#pragma once

#include <string>
#include <string_view>

#include "compare/case_fold.h"

namespace quorvel::compare {

// A field name in upper case, for pairing fields without regard to case.
// Names are UTF-8 (long names of a container may hold any letter).
inline std::string upperFieldName(std::string_view name) {
    return upperText(name);
}

}  // namespace quorvel::compare
