#pragma once

#include <string>

namespace quorvel::foxpro::platform {

// UTF-8 text in the encoding of the user's text files: the encoding of the
// user's locale on POSIX systems (UTF-8 on today's; the C locale's means
// none was chosen, and the text stays UTF-8); UTF-8 on Windows, whose
// programs read it today.  A character the encoding cannot hold becomes "?".
std::string toUserTextEncoding(const std::string& utf8);

}  // namespace quorvel::foxpro::platform
