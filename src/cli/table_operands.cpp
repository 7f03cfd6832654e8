#include "cli/table_operands.h"

#include <cstdint>
#include <fstream>
#include <sstream>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/read/file_names.h"

namespace quorvel::cli {

namespace {

bool hasContainerFlag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[32] = {};
    if (!in.read(header, sizeof header)) return false;
    return (static_cast<std::uint8_t>(header[28]) & foxpro::dbf::kTableFlagContainer) != 0;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

}  // namespace

bool isTableFile(const std::string& path) {
    if (foxpro::platform::pathKind(path) != foxpro::platform::PathKind::RegularFile) return false;
    if (path.size() >= 4 && foxpro::equalsNoCase(path.substr(path.size() - 4), ".dbc"))
        return false;
    return !hasContainerFlag(path);
}

std::vector<std::string> expandTableOperands(const std::string& pattern,
                                             const std::vector<std::string>& operands) {
    const std::vector<std::string> slots = words(pattern);
    std::vector<std::string> result;
    std::size_t next = 0;
    for (std::size_t s = 0; s < slots.size() && next < operands.size(); ++s) {
        const bool pair = slots[s].starts_with("SOURCE") && s + 1 < slots.size() &&
                          slots[s + 1].starts_with("TABLE");
        if (pair && isTableFile(operands[next])) {
            result.push_back(foxpro::parentFolder(operands[next]));
            result.push_back(foxpro::fileNameOf(operands[next]));
            ++next;
            ++s;
            continue;
        }
        result.push_back(operands[next++]);
    }
    result.insert(result.end(), operands.begin() + static_cast<long>(next), operands.end());
    return result;
}

}  // namespace quorvel::cli
