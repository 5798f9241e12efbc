#include "engine/values/DateReading.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/text/Unicode.h"
#include "engine/values/NumberReading.h"

namespace rowlark::values {
namespace {

constexpr std::int64_t secondsPerDay = 86400;
constexpr std::int64_t millisecondsPerDay = secondsPerDay * 1000;
// Days from 0000-03-01 to 1970-01-01, the start of the civil-date arithmetic's eras.
constexpr std::int64_t daysBeforeEpoch = 719468;
// Added to instants so that every one from the year 1 on, at any offset, counts up from zero.
constexpr std::int64_t daysBeforeYearOne = 719163;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - daysBeforeEpoch;
}

struct CivilDate {
    std::int64_t year;
    std::int64_t month;
    std::int64_t day;
};

CivilDate civilFromDays(std::int64_t days)
{
    days += daysBeforeEpoch;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const std::int64_t month = shiftedMonth + (shiftedMonth < 10 ? 3 : -9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

bool isLeapYear(std::int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int64_t daysInMonth(std::int64_t year, std::int64_t month)
{
    constexpr std::int64_t lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}

// Appends `value` with at least `width` digits, zeros in front.
void appendPadded(std::string& text, std::int64_t value, std::size_t width)
{
    if (value < 0) {
        text += '-';
        value = -value;
    }
    std::array<char, 20> digits;
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    text.append(width > count ? width - count : 0, '0');
    while (count > 0)
        text += digits[--count];
}

void appendCivilText(std::string& text, std::int64_t days)
{
    const CivilDate date = civilFromDays(days);
    appendPadded(text, date.year, 4);
    text += '-';
    appendPadded(text, date.month, 2);
    text += '-';
    appendPadded(text, date.day, 2);
}

std::int64_t floorDivision(std::int64_t value, std::int64_t divisor)
{
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

char asciiLower(char character)
{
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character + 32) : character;
}

// Reads one date and time from the front of a trimmed text.
class DateTimeParser {
public:
    DateTimeParser(std::string_view text, DayOrder order)
        : text_(text)
        , order_(order)
    {
    }

    std::optional<DateTime> parse()
    {
        bool isISO = false;
        if (!readDate(isISO))
            return std::nullopt;
        DateTime result;
        result.day = daysFromCivil(year_, month_, day_);
        if (atEnd())
            return result;
        if (peek() == 'T' && isISO) {
            ++position_;
        } else {
            if (!skipSpaces())
                return std::nullopt;
        }
        if (!readTime(result) || !atEnd())
            return std::nullopt;
        return result;
    }

private:
    bool atEnd() const { return position_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[position_]; }

    bool take(char character)
    {
        if (peek() != character)
            return false;
        ++position_;
        return true;
    }

    bool skipSpaces()
    {
        const std::size_t start = position_;
        while (peek() == ' ')
            ++position_;
        return position_ > start;
    }

    // Reads between `least` and `most` digits; unless `mayContinue`, no further digit may follow.
    std::optional<std::int64_t> number(std::size_t least, std::size_t most, bool mayContinue = false)
    {
        std::int64_t value = 0;
        std::size_t count = 0;
        while (count < most && isDigit(peek())) {
            value = value * 10 + (text_[position_++] - '0');
            ++count;
        }
        if (count < least || (!mayContinue && isDigit(peek())))
            return std::nullopt;
        return value;
    }

    bool readDate(bool& isISO)
    {
        if (text_.size() >= 5 && std::all_of(text_.begin(), text_.begin() + 4, isDigit) &&
            (text_[4] == '-' || text_[4] == '/')) {
            const auto year = number(4, 4);
            if (!year)
                return false;
            year_ = *year;
            const char separator = text_[position_++];
            isISO = separator == '-';
            const auto month = number(1, 2);
            if (!month || !take(separator))
                return false;
            const auto day = number(1, 2);
            if (!day)
                return false;
            month_ = *month;
            day_ = *day;
            return isValidDate();
        }
        const auto first = number(1, 2);
        const char separator = peek();
        if (!first || (separator != '/' && separator != '.'))
            return false;
        ++position_;
        const auto second = number(1, 2);
        if (!second || !take(separator))
            return false;
        const auto year = number(4, 4);
        if (!year)
            return false;
        year_ = *year;
        const bool isDayFirst = separator == '.' || order_ == DayOrder::dayFirst;
        if (separator == '/' && order_ == DayOrder::undecided)
            return false;
        day_ = isDayFirst ? *first : *second;
        month_ = isDayFirst ? *second : *first;
        return isValidDate();
    }

    bool isValidDate() const
    {
        return year_ >= 1 && month_ >= 1 && month_ <= 12 && day_ >= 1 && day_ <= daysInMonth(year_, month_);
    }

    bool readTime(DateTime& result)
    {
        const auto hour = number(1, 2);
        if (!hour || !take(':'))
            return false;
        const auto minute = number(2, 2);
        if (!minute || *minute > 59)
            return false;
        std::int64_t second = 0;
        if (take(':')) {
            const auto seconds = number(2, 2);
            if (!seconds || *seconds > 59)
                return false;
            second = *seconds;
            if (take('.')) {
                const std::size_t start = position_;
                while (isDigit(peek()))
                    ++position_;
                if (position_ == start)
                    return false;
                std::string_view fraction = text_.substr(start, position_ - start);
                while (fraction.ends_with('0'))
                    fraction.remove_suffix(1);
                result.fraction = fraction;
            }
        }
        std::int64_t hours = *hour;
        const std::size_t beforeSpaces = position_;
        skipSpaces();
        if (const auto half = meridiem()) {
            if (hours < 1 || hours > 12)
                return false;
            hours = hours % 12 + (*half ? 12 : 0);
        } else {
            position_ = beforeSpaces;
            if (hours > 23)
                return false;
        }
        if (!readOffset(result))
            return false;
        result.second = hours * 3600 + *minute * 60 + second;
        result.hasTime = true;
        return true;
    }

    // AM (false) or PM (true), in any letter case, with or without dots.
    std::optional<bool> meridiem()
    {
        const char first = asciiLower(peek());
        if (first != 'a' && first != 'p')
            return std::nullopt;
        const std::string_view rest = text_.substr(position_ + 1);
        for (const std::string_view ending : {"m", ".m."}) {
            if (rest.size() >= ending.size() &&
                std::equal(ending.begin(), ending.end(), rest.begin(),
                           [](char expected, char actual) { return expected == asciiLower(actual); })) {
                position_ += 1 + ending.size();
                return first == 'p';
            }
        }
        return std::nullopt;
    }

    // "Z", or a sign with hours and optionally minutes ("+01", "+0100", "+01:00").
    bool readOffset(DateTime& result)
    {
        if (take('Z'))
            return true;
        if (peek() != '+' && peek() != '-')
            return true;
        const bool isWest = text_[position_++] == '-';
        const auto hours = number(2, 2, true);
        if (!hours || *hours > 23)
            return false;
        std::int64_t minutes = 0;
        if (!atEnd()) {
            take(':');
            const auto written = number(2, 2);
            if (!written || *written > 59)
                return false;
            minutes = *written;
        }
        result.offsetMinutes = (isWest ? -1 : 1) * (*hours * 60 + minutes);
        return true;
    }

    std::string_view text_;
    DayOrder order_;
    std::size_t position_ = 0;
    std::int64_t year_ = 0;
    std::int64_t month_ = 0;
    std::int64_t day_ = 0;
};

// Seconds since 1970-01-01T00:00:00 UTC, without the fraction.
std::int64_t utcSeconds(const DateTime& value)
{
    return value.day * secondsPerDay + value.second - value.offsetMinutes * 60;
}

}  // namespace

std::string DateTime::dateText() const
{
    std::string text;
    appendCivilText(text, day);
    return text;
}

std::string DateTime::instantText() const
{
    const std::int64_t seconds = utcSeconds(*this);
    const std::int64_t days = floorDivision(seconds, secondsPerDay);
    const std::int64_t ofDay = seconds - days * secondsPerDay;
    std::string text;
    text.reserve(20 + (fraction.empty() ? 0 : fraction.size() + 1));
    appendCivilText(text, days);
    text += 'T';
    appendPadded(text, ofDay / 3600, 2);
    text += ':';
    appendPadded(text, ofDay / 60 % 60, 2);
    text += ':';
    appendPadded(text, ofDay % 60, 2);
    if (!fraction.empty())
        text.append(".").append(fraction);
    return text;
}

Decimal DateTime::instant() const
{
    const std::string whole = std::to_string(utcSeconds(*this) + daysBeforeYearOne * secondsPerDay);
    return *Decimal::fromParts(false, whole, fraction, false, {});
}

std::optional<DateTime> readDateTime(std::string_view cell, DayOrder order)
{
    const std::string_view text = text::trimmed(cell);
    if (text.empty() || text.size() > longestReadText)
        return std::nullopt;
    return DateTimeParser(text, order).parse();
}

std::optional<DateTime> dateTimeOfSerial(double serial, bool isDate1904)
{
    // 10000-01-01 in either system.
    const double lastSerial = isDate1904 ? 2957004 : 2958466;
    if (!std::isfinite(serial) || serial < 0 || serial >= lastSerial)
        return std::nullopt;
    double whole = std::floor(serial);
    auto milliseconds = static_cast<std::int64_t>(std::llround((serial - whole) * millisecondsPerDay));
    if (milliseconds == millisecondsPerDay) {
        whole += 1;
        milliseconds = 0;
    }
    const auto days = static_cast<std::int64_t>(whole);
    DateTime result;
    if (isDate1904) {
        result.day = daysFromCivil(1904, 1, 1) + days;
    } else {
        if (days == 60)
            return std::nullopt;
        result.day = days < 60 ? daysFromCivil(1899, 12, 31) + days : daysFromCivil(1899, 12, 30) + days;
    }
    result.second = milliseconds / 1000;
    appendPadded(result.fraction, milliseconds % 1000, 3);
    while (result.fraction.ends_with('0'))
        result.fraction.pop_back();
    result.hasTime = milliseconds != 0;
    return result;
}

void DayOrderEvidence::note(std::string_view cell)
{
    if (cell.find('/') == std::string_view::npos)
        return;
    const bool isDayFirst = readDateTime(cell, DayOrder::dayFirst).has_value();
    const bool isMonthFirst = readDateTime(cell, DayOrder::monthFirst).has_value();
    hasDayFirst_ = hasDayFirst_ || (isDayFirst && !isMonthFirst);
    hasMonthFirst_ = hasMonthFirst_ || (isMonthFirst && !isDayFirst);
}

DayOrder DayOrderEvidence::decision() const
{
    if (hasDayFirst_ == hasMonthFirst_)
        return DayOrder::undecided;
    return hasDayFirst_ ? DayOrder::dayFirst : DayOrder::monthFirst;
}

void DayOrderEvidence::merge(const DayOrderEvidence& other)
{
    hasDayFirst_ = hasDayFirst_ || other.hasDayFirst_;
    hasMonthFirst_ = hasMonthFirst_ || other.hasMonthFirst_;
}

}  // namespace rowlark::values
