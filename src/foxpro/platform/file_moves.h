#pragma once

#include <string>
#include <system_error>

namespace quorvel::foxpro::platform {

// Renames from to to (both in one folder) only when nothing is called to:
// std::errc::file_exists otherwise, with nothing changed.
std::error_code moveNoReplace(const std::string& from, const std::string& to);

// Renames from to to, replacing a file called to in one step: whoever opens
// to sees the old file whole or the new one whole.
std::error_code moveReplacing(const std::string& from, const std::string& to);

std::error_code removeFile(const std::string& path);

// Makes the data of the file at path durable.
std::error_code syncFile(const std::string& path);

// Makes the folder's entries (files created, renamed, removed) durable.
std::error_code syncFolder(const std::string& folder);

}  // namespace quorvel::foxpro::platform
