#pragma once

#include <cstdint>

namespace quorvel::foxpro {

// Header bytes 1..3: the day of the last update, today's in local time
// (years since 1900, month, day).
void putToday(std::uint8_t* date3);

}  // namespace quorvel::foxpro
