#include "frame/file_filter.h"

namespace quorvel::frame {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::vector<FilterEntry> parseFileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < filter.size()) {
        const auto bar = filter.find('|', start);
        if (bar == std::string::npos) {
            parts.push_back(filter.substr(start));
            break;
        }
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FilterEntry> entries;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) entries.push_back({parts[i], parts[i + 1]});
    return entries;
}

std::string toolkitFileFilter(const std::string& filter) {
    std::string result;
    for (const auto& entry : parseFileFilter(filter)) {
        std::string name = entry.description;
        const auto open = name.rfind('(');
        if (open != std::string::npos && name.find(')', open) != std::string::npos) {
            name.resize(open);
        }
        name = trim(name);
        std::string patterns;
        size_t start = 0;
        while (start <= entry.patterns.size()) {
            auto semi = entry.patterns.find(';', start);
            if (semi == std::string::npos) semi = entry.patterns.size();
            std::string pattern = trim(entry.patterns.substr(start, semi - start));
            if (pattern == "*.*") pattern = "*";
            if (!pattern.empty()) patterns += (patterns.empty() ? "" : " ") + pattern;
            start = semi + 1;
        }
        if (!result.empty()) result += ";;";
        result += name + " (" + patterns + ")";
    }
    return result;
}

}  // namespace quorvel::frame
