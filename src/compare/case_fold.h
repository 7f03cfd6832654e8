#pragma once

#include <string>
#include <string_view>

namespace quorvel::compare {

// Text in upper case by simple (one code point for one) case mapping, for
// comparing names and values without regard to case.  The text is UTF-8;
// ASCII, Latin-1, Latin Extended-A, Greek (accented letters and final sigma
// too) and Cyrillic letters are mapped, other characters are kept as they
// are, and so is a byte that is not part of valid UTF-8.
std::string upperText(std::string_view text);

}  // namespace quorvel::compare
