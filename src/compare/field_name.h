#pragma once

#include <string>
#include <string_view>

namespace quorvel::compare {

// A field name in upper case, for pairing fields without regard to case.
// Names are UTF-8 (long names of a container may hold any letter); ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic letters are folded, other
// characters are kept as they are.
std::string upperFieldName(std::string_view name);

}  // namespace quorvel::compare
