#pragma once

#include <string>

namespace quorvel::foxpro {

// Whether path names a table file: a regular file that is not a database
// container (a .dbc, known by its extension without case or by its header's
// container flag).
bool isTableFile(const std::string& path);

}  // namespace quorvel::foxpro
