#pragma once

// Dates of the proleptic Gregorian calendar and the days between them.

#include <cstdint>

namespace rowlark::workbook {

struct CivilDate {
    std::int64_t year;
    unsigned month;  // 1 to 12
    unsigned day;    // 1 to 31
};

// The days from 1970-01-01 to the date (negative before it).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);
// The date `days` after 1970-01-01.
CivilDate civilFromDays(std::int64_t days);
// The weekday of the date `days` after 1970-01-01: 0 for Sunday.
int weekdayFromDays(std::int64_t days);

}  // namespace rowlark::workbook
