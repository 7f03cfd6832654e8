#pragma once

#include <cstdint>

#include "foxpro/value.h"

namespace quorvel::foxpro {

// Day arithmetic of the proleptic Gregorian calendar, shared by the reader
// (datetime fields), the writer and the statement parser.

// Days in the month of a year (1..9999); 0 for a month out of 1..12.
int daysInMonth(int year, int month);

// Days since 1970-01-01 of a valid date, and the date back.
std::int64_t daysFromCivil(const Date& d);
Date civilFromDays(std::int64_t days);

}  // namespace quorvel::foxpro
