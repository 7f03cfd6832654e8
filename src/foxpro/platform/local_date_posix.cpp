#include <ctime>

#include "foxpro/platform/local_date.h"

namespace quorvel::foxpro::platform {

LocalDate localToday() {
    // A batch of statements asks once per record; the local date of one
    // second is worked out once.
    thread_local std::time_t cachedSecond = -1;
    thread_local LocalDate cached{};
    const std::time_t now = std::time(nullptr);
    if (now == cachedSecond) return cached;
    std::tm local{};
    if (!::localtime_r(&now, &local)) return {};
    cached = LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    cachedSecond = now;
    return cached;
}

}  // namespace quorvel::foxpro::platform
