#include "foxpro/write/last_update.h"

#include "foxpro/platform/local_date.h"

namespace quorvel::foxpro {

void putToday(std::uint8_t* date3) {
    const platform::LocalDate today = platform::localToday();
    date3[0] = static_cast<std::uint8_t>(today.year - 1900);
    date3[1] = static_cast<std::uint8_t>(today.month);
    date3[2] = static_cast<std::uint8_t>(today.day);
}

}  // namespace quorvel::foxpro
