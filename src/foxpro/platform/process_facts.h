#pragma once

// What process_token.cpp asks of the system about processes (the platform
// part's own; nothing above it includes this).

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::foxpro::platform {

// This machine's name as the system gives it ("" when it gives none).
std::string hostName();

std::uint64_t currentProcessId();

enum class ProcessLife { Running, Gone, Unknown };

// When process id was started, in a unit of the system's own that tells a
// process from a later one with the same id; 0 when it cannot be told.
std::uint64_t processStartTime(std::uint64_t id);

// Whether process id is the one started at start: Gone when no process has
// that id any more, another one has it now, or it has ended (a zombie);
// Unknown when the system cannot tell.
ProcessLife processLife(std::uint64_t id, std::uint64_t start);

}  // namespace quorvel::foxpro::platform
