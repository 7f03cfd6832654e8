#pragma once

// Windows side of the platform part: the system's error numbers as the
// error codes the interfaces report.
#include <system_error>

namespace quorvel::foxpro::platform {

// An error of GetLastError(): in the generic category where it has a POSIX
// meaning (a missing file, no permission, a name taken, a full disk ...),
// so that messages and checks read the same as on POSIX systems; in the
// system category otherwise.
std::error_code windowsError(unsigned long code);
std::error_code lastWindowsError();

}  // namespace quorvel::foxpro::platform
