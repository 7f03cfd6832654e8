#pragma once

#include <string>

namespace quorvel::frame {

inline constexpr const char* kProductTitle = "Quorvel";
inline constexpr const char* kSettingsApplication = "Velkorn";
inline constexpr const char* kSettingsSection = "Quorvel";
inline constexpr const char* kErrorLocationPrefix = "in Tablinder2021/08/31.";
inline constexpr const char* kSupportAddress = "support@quorvel.example";
inline constexpr const char* kHomePage = "https://www.quorvel.example/";
inline constexpr const char* kContactPage = "https://www.quorvel.example/contact";

// The program's version, the build's project version ("1.0.0").
extern const char* const kVersion;

// The product title shortened word by word to at most 40 characters: the
// caption of message boxes that name no caption of their own.
std::string SetApplicationTitle(const std::string& productTitle = kProductTitle);

}  // namespace quorvel::frame
