#include "support/open_files.h"

namespace quorvel::test {

// Windows sets no small limit on a process's handles: nothing to use up.
OpenFilesUsedUp::OpenFilesUsedUp(int) {}
OpenFilesUsedUp::~OpenFilesUsedUp() = default;
void OpenFilesUsedUp::release() {}

}  // namespace quorvel::test
