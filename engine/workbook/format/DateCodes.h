#pragma once

// Number values as dates and times, the way the spreadsheet-reader library reads them: its
// parse_date_code, and the text of one date or time field of a format.

#include <optional>
#include <string>

namespace rowlark::workbook::formatting {

struct DateCode {
    double days = 0;  // the whole days of the value
    double time = 0;  // whole seconds of the day
    double u = 0;     // the fraction of a second
    int y = 0, m = 0, d = 0, H = 0, M = 0;
    double S = 0;
    int weekday = 0;  // 0 = Sunday
};

// The library's parse_date_code (Gregorian calendar), none outside its range.
std::optional<DateCode> parseDateCode(double value, bool isDate1904);

// One date or time field: its type letter, its text in the format ("yyyy", "[h]", ".00") and the
// places of a second shown; none where the library throws.
std::optional<std::string> dateField(char type, const std::string& token, const DateCode& date, int subsecondDigits);

}  // namespace rowlark::workbook::formatting
