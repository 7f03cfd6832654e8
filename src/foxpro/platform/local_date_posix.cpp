#include <ctime>

#include "foxpro/platform/local_date.h"

namespace quorvel::foxpro::platform {

LocalDate localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return {};
    return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace quorvel::foxpro::platform
