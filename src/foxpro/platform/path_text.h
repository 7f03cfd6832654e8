#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel::foxpro::platform {

// Paths are held as UTF-8 text everywhere (the bytes of the name on POSIX
// systems).  std::filesystem reads a plain string in the system's narrow
// code page on Windows, which cannot hold every name: these go between the
// two by UTF-8 on every system.
inline std::filesystem::path pathFromText(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string textFromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace quorvel::foxpro::platform
