#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

#include "foxpro/platform/process_facts.h"

namespace quorvel::foxpro::platform {

namespace {

struct ProcStat {
    char state = '?';
    std::uint64_t startTime = 0;  // clock ticks after boot
};

// Fields 3 (state) and 22 (start time) of /proc/PID/stat; the command name
// before them is in parentheses and may hold blanks and ')'.
std::optional<ProcStat> procStatOf(std::uint64_t id) {
    std::ifstream in("/proc/" + std::to_string(id) + "/stat");
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    ProcStat facts;
    std::string field;
    for (int number = 3; fields >> field; ++number) {
        if (number == 3) facts.state = field.empty() ? '?' : field[0];
        if (number == 22) {
            const auto [end, error] =
                std::from_chars(field.data(), field.data() + field.size(), facts.startTime);
            if (error != std::errc() || end != field.data() + field.size()) return std::nullopt;
            return facts;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

std::uint64_t currentProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

std::uint64_t processStartTime(std::uint64_t id) {
    const auto facts = procStatOf(id);
    return facts ? facts->startTime : 0;
}

ProcessLife processLife(std::uint64_t id, std::uint64_t start) {
    if (::access("/proc/self/stat", R_OK) != 0) return ProcessLife::Unknown;  // no /proc here
    const auto facts = procStatOf(id);
    if (!facts || facts->startTime != start || facts->state == 'Z' || facts->state == 'X')
        return ProcessLife::Gone;
    return ProcessLife::Running;
}

}  // namespace quorvel::foxpro::platform
