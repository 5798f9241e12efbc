#pragma once

// Cells read as dates and times: ISO 8601 with "T" or a space, yyyy/mm/dd, d.m.yyyy, and m/d/yyyy or
// d/m/yyyy, whose order is decided for a whole column from its values (never per cell), each with
// an optional time of hours and minutes, seconds, a fraction, AM/PM and a UTC offset. Days are
// those of the proleptic Gregorian calendar, years 1 to 9999.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/values/Decimal.h"

namespace rowlark::values {

// Which number comes first in a date written with slashes: 3/5/2024 is 3 May day first and
// 5 March month first.
enum class DayOrder { undecided, dayFirst, monthFirst };

struct DateTime {
    std::int64_t day = 0;            // days since 1970-01-01, as written (before any UTC offset)
    std::int64_t second = 0;         // seconds since midnight, 0 to 86,399
    std::string fraction;            // digits of the second's fraction, without trailing zeros
    std::int64_t offsetMinutes = 0;  // east of UTC, as written; 0 without one
    bool hasTime = false;

    // "2024-03-05": the calendar day as written.
    std::string dateText() const;
    // "2024-03-05T12:00:00", or with a fraction "…:00.25": the instant in UTC, a time without an
    // offset taken as UTC.
    std::string instantText() const;
    // Seconds since 1970-01-01T00:00:00 UTC, exactly.
    Decimal instant() const;

    bool operator==(const DateTime&) const = default;
};

// The date and time of `cell`; slashed dates need a decided `order`.
std::optional<DateTime> readDateTime(std::string_view cell, DayOrder order);

// The day and time of a spreadsheet's date serial: days since the start of its date system, the
// fraction a part of a day, rounded to the millisecond. The 1900 system counts a 29 February 1900
// that never was (serial 60, which gives none); the 1904 system starts at 1 January 1904.
std::optional<DateTime> dateTimeOfSerial(double serial, bool isDate1904);

// What the values of one column say about its day order: a slashed date whose first number is
// above 12 tells day first, whose second number is, month first.
class DayOrderEvidence {
public:
    void note(std::string_view cell);
    // Once both orders have been told, no other cell changes the decision.
    bool isSettled() const { return hasDayFirst_ && hasMonthFirst_; }
    // The order told when only one was; undecided when neither or both were.
    DayOrder decision() const;
    void merge(const DayOrderEvidence& other);

private:
    bool hasDayFirst_ = false;
    bool hasMonthFirst_ = false;
};

}  // namespace rowlark::values
