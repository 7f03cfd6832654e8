#pragma once

namespace quorvel::foxpro::platform {

struct LocalDate {
    int year = 1970;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
};

// Today in the user's time zone.
LocalDate localToday();

}  // namespace quorvel::foxpro::platform
