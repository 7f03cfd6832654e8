#include <windows.h>

#include "foxpro/platform/local_date.h"

namespace quorvel::foxpro::platform {

LocalDate localToday() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalDate{now.wYear, now.wMonth, now.wDay};
}

}  // namespace quorvel::foxpro::platform
