#include <string>

#include "foxpro/platform/process_facts.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_file.h"
#include "foxpro/platform/writable_folder.h"

namespace quorvel::foxpro::platform {

bool isWritableFolder(const std::string& folder) {
    // Permissions on Windows are lists that only a try settles: a file is
    // made there and goes again when it is closed.
    const std::string probe = (folder.empty() ? std::string(".") : folder) + "/.quorvel-probe-" +
                              std::to_string(currentProcessId());
    const HANDLE file = CreateFileW(widePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

}  // namespace quorvel::foxpro::platform
