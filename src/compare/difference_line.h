#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::compare {

// The four difference lines, built by plain concatenation with nothing
// before or after them.  Values and names are written unchanged: a double
// quote inside them is not escaped (the merge reads lines back by position).

// "Record " + n + " deleted from " + table2
std::string deletedLine(std::int64_t n, std::string_view table2);

// "Record " + n + " added to " + table2
std::string addedLine(std::int64_t n, std::string_view table2);

// "Record " + n + ", Field \"" + field + "\" has changed from \"" + v1 + "\" to \"" + v2 + "\""
std::string changedLine(std::int64_t n, std::string_view field, std::string_view v1,
                        std::string_view v2);

// " Field \"" + field + "\" not exist "
std::string missingFieldLine(std::string_view field);

}  // namespace quorvel::compare
