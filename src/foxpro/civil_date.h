#pragma once

#include <cstdint>

#include "foxpro/value.h"

namespace quorvel::foxpro {

// Day arithmetic of the proleptic Gregorian calendar, shared by the reader
// (date and datetime fields), the writer and the statement parser.  Inline:
// the reader calls it for every date it decodes.

// Days in the month of a year (1..9999); 0 for a month out of 1..12.
inline int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2) {
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[month - 1];
}

// Days since 1970-01-01 of a valid date (Howard Hinnant's days_from_civil).
inline std::int64_t daysFromCivil(const Date& d) {
    std::int64_t y = d.year - (d.month <= 2 ? 1 : 0);
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yoe = y - era * 400;
    std::int64_t mp = (d.month + 9) % 12;
    std::int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The date of a count of days since 1970-01-01.
inline Date civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    return Date{y, m, d};
}

}  // namespace quorvel::foxpro
