#include "foxpro/last_update.h"

#include <ctime>

namespace quorvel::foxpro {

void putToday(std::uint8_t* date3) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    date3[0] = static_cast<std::uint8_t>(local.tm_year);  // years since 1900
    date3[1] = static_cast<std::uint8_t>(local.tm_mon + 1);
    date3[2] = static_cast<std::uint8_t>(local.tm_mday);
}

}  // namespace quorvel::foxpro
