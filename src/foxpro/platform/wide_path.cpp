#include "foxpro/platform/wide_path.h"

#include <windows.h>

#include <vector>

namespace quorvel::foxpro::platform {

std::wstring wideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::wstring widePath(const std::string& path) {
    std::wstring wide = wideFromUtf8(path.empty() ? std::string(".") : path);
    // Short paths go as they are; so do those already in the long form.
    if (wide.size() < 240 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::vector<wchar_t> full(n);
    if (GetFullPathNameW(wide.c_str(), n, full.data(), nullptr) == 0) return wide;
    std::wstring result(full.data());
    if (result.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + result.substr(2);
    return L"\\\\?\\" + result;
}

}  // namespace quorvel::foxpro::platform
