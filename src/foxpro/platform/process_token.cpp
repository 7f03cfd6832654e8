#include "foxpro/platform/process_token.h"

#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace quorvel::foxpro::platform {

namespace {

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

struct ProcessFacts {
    char state = '?';
    std::uint64_t startTime = 0;  // clock ticks after boot
};

// Fields 3 (state) and 22 (start time) of /proc/PID/stat; the command name
// before them is in parentheses and may hold blanks and ')'.
std::optional<ProcessFacts> factsOf(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    ProcessFacts facts;
    std::string field;
    for (int number = 3; fields >> field; ++number) {
        if (number == 3) facts.state = field.empty() ? '?' : field[0];
        if (number == 22)
            return parseNumber(field, facts.startTime) ? std::optional(facts) : std::nullopt;
    }
    return std::nullopt;
}

const std::string& hostTag() {
    static const std::string tag = [] {
        char name[256] = {};
        ::gethostname(name, sizeof name - 1);
        std::uint32_t hash = 2166136261u;  // FNV-1a
        for (const char* p = name; *p; ++p)
            hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
        char text[9];
        std::snprintf(text, sizeof text, "%08x", hash);
        return std::string(text);
    }();
    return tag;
}

}  // namespace

std::string processToken() {
    // Made afresh each time: a forked child is another process.
    const long pid = static_cast<long>(::getpid());
    const auto facts = factsOf(pid);
    return hostTag() + "-" + std::to_string(pid) + "-" +
           std::to_string(facts ? facts->startTime : 0);
}

OwnerState ownerState(std::string_view token) {
    const auto first = token.find('-');
    const auto second = first == std::string_view::npos ? first : token.find('-', first + 1);
    if (second == std::string_view::npos) return OwnerState::Unknown;
    long pid = 0;
    std::uint64_t start = 0;
    if (token.substr(0, first) != hostTag() ||
        !parseNumber(token.substr(first + 1, second - first - 1), pid) ||
        !parseNumber(token.substr(second + 1), start) || pid <= 0 || start == 0)
        return OwnerState::Unknown;
    if (::access("/proc/self/stat", R_OK) != 0) return OwnerState::Unknown;  // no /proc here
    const auto facts = factsOf(pid);
    if (!facts || facts->startTime != start || facts->state == 'Z' || facts->state == 'X')
        return OwnerState::Gone;
    return OwnerState::Running;
}

}  // namespace quorvel::foxpro::platform
