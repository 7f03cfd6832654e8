#include "cli/table_operands.h"

#include <sstream>

#include "foxpro/read/file_names.h"

namespace quorvel::cli {

namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

}  // namespace

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
