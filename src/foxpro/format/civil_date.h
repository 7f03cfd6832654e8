#pragma once

#include <chrono>
#include <cstdint>

#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// Day arithmetic of the proleptic Gregorian calendar, shared by the reader
// (date and datetime fields), the writer and the statement parser, all of
// it from <chrono>'s calendar.  Inline: the reader calls it for every date
// it decodes.

// Days in the month of a year (1..9999); 0 for a month out of 1..12.
inline int daysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    const std::chrono::year_month_day_last last{
        std::chrono::year{year},
        std::chrono::month_day_last{std::chrono::month{static_cast<unsigned>(month)}}};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

// Days since 1970-01-01 of a valid date.
inline std::int64_t daysFromCivil(const Date& d) {
    const std::chrono::year_month_day ymd{std::chrono::year{d.year},
                                          std::chrono::month{static_cast<unsigned>(d.month)},
                                          std::chrono::day{static_cast<unsigned>(d.day)}};
    return std::chrono::sys_days{ymd}.time_since_epoch().count();
}

// The date of a count of days since 1970-01-01.  A count beyond the years
// that <chrono>'s calendar holds (-32767..32767), which a damaged datetime
// field can carry, gives the invalid date {0, 0, 0} rather than a year cut
// to 16 bits.
inline Date civilFromDays(std::int64_t z) {
    using namespace std::chrono;
    constexpr std::int64_t kFirst = sys_days{year::min() / January / 1}.time_since_epoch().count();
    constexpr std::int64_t kLast = sys_days{year::max() / December / 31}.time_since_epoch().count();
    if (z < kFirst || z > kLast) return Date{0, 0, 0};
    const year_month_day ymd{sys_days{days{z}}};
    return Date{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

}  // namespace quorvel::foxpro
