#include "foxpro/platform/process_token.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

#include "foxpro/platform/process_facts.h"

namespace quorvel::foxpro::platform {

namespace {

bool parseNumber(std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

const std::string& hostTag() {
    static const std::string tag = [] {
        std::uint32_t hash = 2166136261u;  // FNV-1a
        for (const char c : hostName()) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        char text[9];
        std::snprintf(text, sizeof text, "%08x", hash);
        return std::string(text);
    }();
    return tag;
}

}  // namespace

std::string processToken() {
    // Made afresh each time: a forked child is another process.
    const std::uint64_t id = currentProcessId();
    return hostTag() + "-" + std::to_string(id) + "-" + std::to_string(processStartTime(id));
}

OwnerState ownerState(std::string_view token) {
    const auto first = token.find('-');
    const auto second = first == std::string_view::npos ? first : token.find('-', first + 1);
    if (second == std::string_view::npos) return OwnerState::Unknown;
    std::uint64_t id = 0;
    std::uint64_t start = 0;
    if (token.substr(0, first) != hostTag() ||
        !parseNumber(token.substr(first + 1, second - first - 1), id) ||
        !parseNumber(token.substr(second + 1), start) || id == 0 || start == 0)
        return OwnerState::Unknown;
    switch (processLife(id, start)) {
        case ProcessLife::Running:
            return OwnerState::Running;
        case ProcessLife::Gone:
            return OwnerState::Gone;
        case ProcessLife::Unknown:
            break;
    }
    return OwnerState::Unknown;
}

}  // namespace quorvel::foxpro::platform
