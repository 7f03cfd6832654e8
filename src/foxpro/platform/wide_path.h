#pragma once

// Windows side of the platform part: UTF-8 text to and from the UTF-16 the
// system's wide functions take (for the platform's own files).
#include <string>
#include <string_view>

namespace quorvel::foxpro::platform {

std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

// A path for the wide file functions: UTF-16, and past the old 260-character
// limit in its long form ("\\?\C:\...", "\\?\UNC\server\share\..."), which
// takes neither '/' nor "..", so it is made from the full path.
std::wstring widePath(const std::string& path);

}  // namespace quorvel::foxpro::platform
