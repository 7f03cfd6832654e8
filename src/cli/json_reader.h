#pragma once

// Reads JSON text into a tree, for files a person edits and hands back
// (a merge's resolutions).  Numbers are kept as they are written.

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // String: the content (UTF-8); Number: as written
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member of that name, nullptr when none (or not an object).
    const JsonValue* member(const std::string& name) const;
};

// Throws std::runtime_error "line L, column C: what was wrong".
JsonValue parseJson(std::string_view text);

}  // namespace quorvel::cli
