#include "engine/workbook/format/DateCodes.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "engine/workbook/format/CivilDate.h"
#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/JavaScriptNumbers.h"
#include "engine/workbook/format/NumberFormat.h"

namespace rowlark::workbook {
namespace formatting {
namespace {

void appendNumber(std::string& text, int number)
{
    char buffer[12];
    text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
}

void appendTwoDigits(std::string& text, int number)
{
    if (number < 10)
        text += '0';
    appendNumber(text, number);
}

constexpr std::array<std::array<std::string_view, 3>, 12> monthNames{{
    {"J", "Jan", "January"},
    {"F", "Feb", "February"},
    {"M", "Mar", "March"},
    {"A", "Apr", "April"},
    {"M", "May", "May"},
    {"J", "Jun", "June"},
    {"J", "Jul", "July"},
    {"A", "Aug", "August"},
    {"S", "Sep", "September"},
    {"O", "Oct", "October"},
    {"N", "Nov", "November"},
    {"D", "Dec", "December"},
}};

constexpr std::array<std::array<std::string_view, 2>, 7> dayNames{{
    {"Sun", "Sunday"},
    {"Mon", "Monday"},
    {"Tue", "Tuesday"},
    {"Wed", "Wednesday"},
    {"Thu", "Thursday"},
    {"Fri", "Friday"},
    {"Sat", "Saturday"},
}};

}  // namespace

std::optional<DateCode> parseDateCode(double value, bool isDate1904)
{
    if (value > 2958465 || value < 0)
        return std::nullopt;
    DateCode code;
    // A value that is not a number shows as day 0 at midnight, as the library's text has it.
    if (std::isnan(value))
        value = 0;
    long date = static_cast<long>(value);
    double time = std::floor(86400 * (value - static_cast<double>(date)));
    code.days = static_cast<double>(date);
    code.time = time;
    code.u = 86400 * (value - static_cast<double>(date)) - time;
    if (std::abs(code.u) < 1e-6)
        code.u = 0;
    if (isDate1904)
        date += 1462;
    if (code.u > 0.9999) {
        code.u = 0;
        if (++time == 86400) {
            code.time = time = 0;
            ++date;
            ++code.days;
        }
    }
    if (date == 60) {
        code.y = 1900, code.m = 2, code.d = 29, code.weekday = 3;
    } else if (date == 0) {
        code.y = 1900, code.m = 1, code.d = 0, code.weekday = 6;
    } else {
        if (date > 60)
            --date;
        // Days from 1900-01-01 (day 1) to days from 1970-01-01.
        const std::int64_t days = date - 1 - 25567;
        const CivilDate civil = civilFromDays(days);
        code.y = static_cast<int>(civil.year);
        code.m = static_cast<int>(civil.month);
        code.d = static_cast<int>(civil.day);
        code.weekday = weekdayFromDays(days);
        if (date < 60)
            code.weekday = (code.weekday + 6) % 7;
    }
    code.S = std::fmod(time, 60);
    time = std::floor(time / 60);
    code.M = static_cast<int>(std::fmod(time, 60));
    code.H = static_cast<int>(std::floor(time / 60));
    return code;
}

std::optional<std::string> dateField(char type, const std::string& token, const DateCode& date, int subsecondDigits)
{
    const long length = static_cast<long>(token.size());
    switch (type) {
    case 'b':
    case 'y': {
        const int year = type == 'b' ? date.y + 543 : date.y;
        return length <= 2 ? pad0(static_cast<double>(year % 100), 2) : pad0(static_cast<double>(year % 10000), 4);
    }
    case 'm':
        if (length <= 2)
            return pad0(static_cast<double>(date.m), length);
        if (date.m < 1 || date.m > 12)
            return std::nullopt;
        return std::string(monthNames[static_cast<std::size_t>(date.m - 1)][length == 3 ? 1 : length == 5 ? 0 : 2]);
    case 'd':
        if (length <= 2)
            return pad0(static_cast<double>(date.d), length);
        return std::string(dayNames[static_cast<std::size_t>(date.weekday)][length == 3 ? 0 : 1]);
    case 'h':
    case 'H':
        if (length > 2)
            return std::nullopt;
        return pad0(static_cast<double>(type == 'h' ? 1 + (date.H + 11) % 12 : date.H), length);
    case 'M':
        if (length > 2)
            return std::nullopt;
        return pad0(static_cast<double>(date.M), length);
    case 's': {
        if (token != "s" && token != "ss" && token != ".0" && token != ".00" && token != ".000")
            return std::nullopt;
        if (date.u == 0 && (token == "s" || token == "ss"))
            return pad0(date.S, length);
        const double scale = subsecondDigits >= 2 ? (subsecondDigits == 3 ? 1000 : 100) : subsecondDigits == 1 ? 10 : 1;
        double seconds = jsRound(scale * (date.S + date.u));
        if (seconds >= 60 * scale)
            seconds = 0;
        if (token == "s")
            return seconds == 0 ? "0" : jsText(seconds / scale);
        const std::string text = pad0(seconds, 2 + subsecondDigits);
        if (token == "ss")
            return text.substr(0, 2);
        return "." + substr(text, 2, length - 1);
    }
    case 'Z': {
        double value = 0;
        const double hours = date.days * 24 + date.H;
        if (token == "[h]" || token == "[hh]")
            value = hours;
        else if (token == "[m]" || token == "[mm]")
            value = hours * 60 + date.M;
        else if (token == "[s]" || token == "[ss]")
            value = (hours * 60 + date.M) * 60 + jsRound(date.S + date.u);
        else
            return std::nullopt;
        return pad0(value, length == 3 ? 1 : 2);
    }
    case 'e':
        return pad0(static_cast<double>(date.y), 1);
    default:
        return std::string();
    }
}

}  // namespace formatting

std::string dateCellText(double value, bool isDate1904)
{
    const std::optional<formatting::DateCode> date = formatting::parseDateCode(value, isDate1904);
    // A day number without a day of the calendar shows as the number: before the first day,
    // past the last, and the 29 February 1900 that the 1900 system counts but never was.
    if (!date || date->d == 0 || date->y > 9999 || (date->y == 1900 && date->m == 2 && date->d == 29))
        return generalNumberText(value);
    std::string text;
    text.reserve(19);
    formatting::appendNumber(text, date->y);
    text += '-';
    formatting::appendTwoDigits(text, date->m);
    text += '-';
    formatting::appendTwoDigits(text, date->d);
    const int seconds = static_cast<int>(std::floor(date->S));
    if (date->H == 0 && date->M == 0 && seconds == 0)
        return text;
    text += 'T';
    formatting::appendTwoDigits(text, date->H);
    text += ':';
    formatting::appendTwoDigits(text, date->M);
    text += ':';
    formatting::appendTwoDigits(text, seconds);
    return text;
}

}  // namespace rowlark::workbook
