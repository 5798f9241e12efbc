// The value rules against plain references written here: a calendar that counts days one year and
// one month at a time, the yes/no spellings as a list, ASCII texts reduced by hand, and decimals as
// digit strings scaled to a common power of ten.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/values/ComparisonRule.h"
#include "engine/values/DateReading.h"
#include "engine/values/FlagReading.h"
#include "engine/values/NumberReading.h"
#include "engine/values/RuleForms.h"

namespace rowlark::values {
namespace {

struct Random {
    std::mt19937 engine;
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine); }
    bool chance(int inEvery) { return uniform(1, inEvery) == 1; }
    template<typename Item> const Item& pick(const std::vector<Item>& items)
    {
        return items[static_cast<std::size_t>(uniform(0, static_cast<int>(items.size()) - 1))];
    }
};

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    constexpr std::array<int, 12> lengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[static_cast<std::size_t>(month - 1)];
}

// Days from 0001-01-01 to the first day of each year, counted a year at a time.
const std::vector<std::int64_t>& yearStarts()
{
    static const std::vector<std::int64_t> starts = [] {
        std::vector<std::int64_t> days(10001, 0);
        for (int year = 1; year < 10000; ++year)
            days[year + 1] = days[year] + (isLeapYear(year) ? 366 : 365);
        return days;
    }();
    return starts;
}

struct ReferenceDate {
    int year = 1970;
    int month = 1;
    int day = 1;
};

std::int64_t daysSince1970(const ReferenceDate& date)
{
    std::int64_t days = yearStarts()[date.year] - yearStarts()[1970];
    for (int month = 1; month < date.month; ++month)
        days += daysInMonth(date.year, month);
    return days + date.day - 1;
}

ReferenceDate dateOfDay(std::int64_t daysSince1970)
{
    const std::vector<std::int64_t>& starts = yearStarts();
    const std::int64_t days = daysSince1970 + starts[1970];
    ReferenceDate date{static_cast<int>(std::ranges::upper_bound(starts, days) - starts.begin()) - 1, 1, 1};
    std::int64_t left = days - starts[date.year];
    while (left >= daysInMonth(date.year, date.month))
        left -= daysInMonth(date.year, date.month++);
    date.day = static_cast<int>(left) + 1;
    return date;
}

std::string padded(int value, int width)
{
    const std::string text = std::to_string(value);
    return std::string(std::max<std::size_t>(width, text.size()) - text.size(), '0') + text;
}

std::string isoDate(const ReferenceDate& date)
{
    return padded(date.year, 4) + "-" + padded(date.month, 2) + "-" + padded(date.day, 2);
}

// One written date and time, what it means, and how a file might write it.
struct WrittenDateTime {
    std::string cell;
    DayOrder order = DayOrder::undecided;
    std::int64_t day = 0;         // days since 1970-01-01 as written
    std::int64_t utcSeconds = 0;  // seconds since 1970-01-01T00:00:00 UTC
    std::string fraction;         // without trailing zeros
    bool hasTime = false;
};

std::string writtenOffset(int minutes, Random& random)
{
    if (minutes == 0 && random.chance(2))
        return "Z";
    const int magnitude = std::abs(minutes);
    const std::string sign = minutes < 0 ? "-" : "+";
    if (magnitude % 60 == 0 && random.chance(3))
        return sign + padded(magnitude / 60, 2);
    return sign + padded(magnitude / 60, 2) + (random.chance(2) ? ":" : "") + padded(magnitude % 60, 2);
}

WrittenDateTime randomDateTime(Random& random)
{
    ReferenceDate date;
    date.year = random.chance(5) ? random.uniform(1, 9999) : random.uniform(1900, 2100);
    date.month = random.uniform(1, 12);
    date.day =
        random.chance(4) ? daysInMonth(date.year, date.month) : random.uniform(1, daysInMonth(date.year, date.month));
    WrittenDateTime written;
    written.day = daysSince1970(date);
    written.hasTime = !random.chance(4);
    const int hour = written.hasTime ? random.uniform(0, 23) : 0;
    const int minute = written.hasTime ? random.uniform(0, 59) : 0;
    const bool hasSeconds = written.hasTime && random.chance(2);
    const int second = hasSeconds ? random.uniform(0, 59) : 0;
    std::string fractionDigits = hasSeconds && random.chance(3) ? std::to_string(random.uniform(0, 999999)) : "";
    written.fraction = fractionDigits;
    while (written.fraction.ends_with('0'))
        written.fraction.pop_back();

    // The ISO notations take any of the dates; the others write four-digit years.
    const int notation = date.year < 1000 ? 0 : random.uniform(0, 5);
    const bool isTwelveHour = written.hasTime && notation >= 2 && fractionDigits.empty() && random.chance(2);
    int offsetMinutes = 0;
    const auto unpaddedOr = [&](int value) { return random.chance(2) ? std::to_string(value) : padded(value, 2); };
    if (notation <= 1)
        written.cell = isoDate(date);
    else if (notation == 2)
        written.cell = padded(date.year, 4) + "/" + unpaddedOr(date.month) + "/" + unpaddedOr(date.day);
    else if (notation == 3)
        written.cell = unpaddedOr(date.month) + "/" + unpaddedOr(date.day) + "/" + padded(date.year, 4);
    else if (notation == 4)
        written.cell = unpaddedOr(date.day) + "/" + unpaddedOr(date.month) + "/" + padded(date.year, 4);
    else
        written.cell = unpaddedOr(date.day) + "." + unpaddedOr(date.month) + "." + padded(date.year, 4);
    written.order = notation == 3 ? DayOrder::monthFirst : notation == 4 ? DayOrder::dayFirst : DayOrder::undecided;
    if (written.hasTime) {
        const int shownHour = isTwelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
        written.cell += notation == 0 ? "T" : " ";
        written.cell += (notation == 0 ? padded(shownHour, 2) : unpaddedOr(shownHour)) + ":" + padded(minute, 2);
        if (hasSeconds)
            written.cell += ":" + padded(second, 2);
        if (!fractionDigits.empty())
            written.cell += "." + fractionDigits;
        if (isTwelveHour)
            written.cell += " " + random.pick<std::string>(hour < 12 ? std::vector<std::string>{"AM", "am", "a.m."}
                                                                     : std::vector<std::string>{"PM", "pm", "p.m."});
        // Offsets stay away from the ends of the calendar, where the instant would leave it.
        if (notation <= 1 && date.year > 1 && date.year < 9999 && random.chance(2)) {
            offsetMinutes = random.uniform(-14 * 60, 14 * 60);
            written.cell += writtenOffset(offsetMinutes, random);
        }
    }
    if (random.chance(5))
        written.cell = " " + written.cell + "  ";
    written.utcSeconds = written.day * 86400 + hour * 3600 + minute * 60 + second - offsetMinutes * 60;
    return written;
}

// "2024-03-05T12:00:00", with ".25" for a fraction: the reference's instant in UTC.
std::string referenceInstantText(const WrittenDateTime& written)
{
    const std::int64_t day = written.utcSeconds / 86400 - (written.utcSeconds % 86400 < 0 ? 1 : 0);
    const std::int64_t second = written.utcSeconds - day * 86400;
    return isoDate(dateOfDay(day)) + "T" + padded(static_cast<int>(second / 3600), 2) + ":" +
           padded(static_cast<int>(second / 60 % 60), 2) + ":" + padded(static_cast<int>(second % 60), 2) +
           (written.fraction.empty() ? "" : "." + written.fraction);
}

TEST(DateTimeProperty, everyNotationReadsAsTheReferenceCalendar)
{
    Random random{std::mt19937(20240305)};
    for (int round = 0; round < 3000; ++round) {
        const WrittenDateTime written = randomDateTime(random);
        const std::optional<DateTime> read = readDateTime(written.cell, written.order);
        ASSERT_TRUE(read) << written.cell;
        EXPECT_EQ(read->day, written.day) << written.cell;
        EXPECT_EQ(read->dateText(), isoDate(dateOfDay(written.day))) << written.cell;
        EXPECT_EQ(read->instantText(), referenceInstantText(written)) << written.cell;
        EXPECT_EQ(read->fraction, written.fraction) << written.cell;
        EXPECT_EQ(read->hasTime, written.hasTime) << written.cell;
    }
}

TEST(DateTimeProperty, instantsAndToleranceAgreeWithTheReference)
{
    Random random{std::mt19937(31)};
    for (int round = 0; round < 3000; ++round) {
        WrittenDateTime first = randomDateTime(random);
        WrittenDateTime second = randomDateTime(random);
        first.cell = isoDate(dateOfDay(first.day));
        second.cell = isoDate(dateOfDay(second.day)) + " " + padded(random.uniform(0, 23), 2) + ":00:00";
        const std::optional<DateTime> readFirst = readDateTime(first.cell, DayOrder::undecided);
        const std::optional<DateTime> readSecond = readDateTime(second.cell, DayOrder::undecided);
        ASSERT_TRUE(readFirst && readSecond) << first.cell << " " << second.cell;
        const std::int64_t hours = std::stoll(second.cell.substr(second.cell.size() - 8, 2));
        const std::int64_t distance = std::abs(second.day * 86400 + hours * 3600 - first.day * 86400);
        const Decimal exact = *Decimal::fromPlainText(std::to_string(distance));
        EXPECT_TRUE(isWithinTolerance(readFirst->instant(), readSecond->instant(), exact, std::nullopt))
            << first.cell << " " << second.cell;
        if (distance > 0) {
            const Decimal justShort = *Decimal::fromPlainText(std::to_string(distance - 1) + ".999");
            EXPECT_FALSE(isWithinTolerance(readFirst->instant(), readSecond->instant(), justShort, std::nullopt))
                << first.cell << " " << second.cell;
        }
        EXPECT_EQ(readFirst->instant() == readSecond->instant(), distance == 0) << first.cell << " " << second.cell;
    }
}

TEST(DateTimeProperty, impossibleDaysAreNotRead)
{
    Random random{std::mt19937(5)};
    for (int round = 0; round < 2000; ++round) {
        const int year = random.uniform(1, 9999);
        const int month = random.uniform(1, 12);
        const int day = daysInMonth(year, month) + random.uniform(1, 3);
        const std::string cell = padded(year, 4) + "-" + padded(month, 2) + "-" + padded(day, 2);
        EXPECT_FALSE(readDateTime(cell, DayOrder::undecided)) << cell;
        EXPECT_FALSE(readDateTime(std::to_string(day) + "." + std::to_string(month) + "." + padded(year, 4),
                                  DayOrder::undecided))
            << cell;
    }
}

// The yes/no value of a cell: its letters and digits, lowercased, looked up in the list.
std::optional<bool> referenceFlag(const std::string& cell)
{
    std::string compact;
    for (const char character : cell)
        if (std::isalnum(static_cast<unsigned char>(character)))
            compact += static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    const auto isIn = [&](std::initializer_list<std::string_view> list) { return std::ranges::count(list, compact); };
    return isIn({"true", "yes", "y", "on", "1"})    ? std::optional(true)
           : isIn({"false", "no", "n", "off", "0"}) ? std::optional(false)
                                                    : std::nullopt;
}

TEST(FlagProperty, readsAsTheSpellingListSays)
{
    Random random{std::mt19937(11)};
    const std::vector<char> alphabet{'y', 'E', 's', 'N', 'o', 'T', 'r', 'u', 'f',
                                     'A', 'l', '1', '0', ' ', '.', '!', '-'};
    for (int round = 0; round < 20000; ++round) {
        std::string cell;
        for (int length = random.uniform(0, 6); length > 0; --length)
            cell += random.pick(alphabet);
        EXPECT_EQ(readFlag(cell), referenceFlag(cell)) << "“" << cell << "”";
    }
}

// The ASCII white space, and the ASCII punctuation characters of Unicode's general category P.
constexpr std::string_view asciiSpace = " \t\n\v\f\r";
constexpr std::string_view asciiPunctuation = "!\"#%&'()*,-./:;?@[\\]_{}";

std::string referenceTextForm(const std::string& cell, const ComparisonRule& rule)
{
    const std::size_t first = std::min(cell.find_first_not_of(asciiSpace), cell.size());
    const std::size_t end = cell.find_last_not_of(asciiSpace) + 1;
    std::string form;
    for (std::size_t position = first; position < end; ++position) {
        const char character = cell[position];
        if ((rule.ignoresSpace && asciiSpace.find(character) != std::string_view::npos) ||
            (rule.ignoresPunctuation && asciiPunctuation.find(character) != std::string_view::npos))
            continue;
        form += rule.ignoresCase ? static_cast<char>(std::tolower(static_cast<unsigned char>(character))) : character;
    }
    return form;
}

TEST(TextRuleProperty, everyOptionLeavesOutWhatTheReferenceDoes)
{
    Random random{std::mt19937(29)};
    std::vector<char> alphabet{'a', 'B', 'z', 'Z', '7', ' ', '\t', '\n'};
    for (char character = '!'; character <= '~'; ++character)
        if (!std::isalnum(static_cast<unsigned char>(character)))
            alphabet.push_back(character);
    for (int round = 0; round < 20000; ++round) {
        ComparisonRule rule = ComparisonRule::of(RuleKind::text);
        rule.ignoresCase = random.chance(2);
        rule.ignoresSpace = random.chance(2);
        rule.ignoresPunctuation = random.chance(2);
        std::string cell;
        for (int length = random.uniform(0, 8); length > 0; --length)
            cell += random.pick(alphabet);
        std::string buffer;
        const std::optional<std::string_view> form = ruleForm(cell, std::nullopt, rule, {}, false, buffer);
        ASSERT_TRUE(form) << rule.text() << " “" << cell << "”";
        EXPECT_EQ(*form, referenceTextForm(cell, rule)) << rule.text() << " “" << cell << "”";
    }
}

// Digits without leading zeros, "0" for none.
std::string trimmed(const std::string& digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// An independent reference with the semantics of Python's decimal module for exact operations:
// a value is a signed integer coefficient times a power of ten, and every comparison scales both
// values to the smaller power and compares integers.
struct ReferenceNumber {
    ReferenceNumber(bool negative, std::string digits, int power)
        : isNegative(negative)
        , coefficient(std::move(digits))
        , exponent(power)
    {
        coefficient.erase(0, std::min(coefficient.find_first_not_of('0'), coefficient.size()));
        if (coefficient.empty())
            isNegative = false;
    }

    // The coefficient scaled to `power` (at most this value's own), as a signed digit string.
    std::pair<bool, std::string> scaledTo(int power) const
    {
        return {isNegative, trimmed(coefficient + std::string(static_cast<std::size_t>(exponent - power), '0'))};
    }
    ReferenceNumber magnitude() const { return {false, coefficient, exponent}; }
    std::optional<Decimal> decimal() const { return Decimal::fromPlainText(plainText()); }

    // The text Python prints for Decimal.normalize() of this value in plain notation.
    std::string plainText() const
    {
        if (coefficient.empty())
            return "0";
        std::string digits = coefficient;
        int power = exponent;
        while (digits.size() > 1 && digits.back() == '0') {
            digits.pop_back();
            ++power;
        }
        const int size = static_cast<int>(digits.size());
        std::string text = power >= 0
                               ? digits + std::string(static_cast<std::size_t>(power), '0')
                               : std::string(static_cast<std::size_t>(std::max(0, 1 - power - size)), '0') + digits;
        if (power < 0)
            text.insert(text.size() - static_cast<std::size_t>(-power), ".");
        return (isNegative ? "-" : "") + text;
    }

    bool isNegative;
    std::string coefficient;
    int exponent;
};

int compareDigits(const std::string& a, const std::string& b)
{
    return a.size() != b.size() ? (a.size() < b.size() ? -1 : 1) : a.compare(b);
}

std::string subtractDigits(const std::string& larger, const std::string& smaller)
{
    std::string result = larger;
    int borrow = 0;
    for (std::size_t i = 0; i < result.size(); ++i) {
        const std::size_t at = result.size() - 1 - i;
        int digit = result[at] - '0' - borrow - (i < smaller.size() ? smaller[smaller.size() - 1 - i] - '0' : 0);
        borrow = digit < 0 ? 1 : 0;
        result[at] = static_cast<char>('0' + digit + borrow * 10);
    }
    return trimmed(result);
}

std::string addDigits(const std::string& a, const std::string& b)
{
    std::string result;
    int carry = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry != 0; ++i) {
        const int digit =
            carry + (i < a.size() ? a[a.size() - 1 - i] - '0' : 0) + (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        result.insert(result.begin(), static_cast<char>('0' + digit % 10));
        carry = digit / 10;
    }
    return result;
}

std::string multiplyDigits(const std::string& a, const std::string& b)
{
    std::string result = "0";
    for (std::size_t i = 0; i < b.size(); ++i)
        for (int times = 0; times < b[b.size() - 1 - i] - '0'; ++times)
            result = addDigits(result, a + std::string(i, '0'));
    return trimmed(result);
}

// |a − b| as digits at the exponent `at`.
std::string distance(const ReferenceNumber& a, const ReferenceNumber& b, int at)
{
    const auto [negativeA, digitsA] = a.scaledTo(at);
    const auto [negativeB, digitsB] = b.scaledTo(at);
    if (negativeA != negativeB)
        return addDigits(digitsA, digitsB);
    return compareDigits(digitsA, digitsB) >= 0 ? subtractDigits(digitsA, digitsB) : subtractDigits(digitsB, digitsA);
}

bool referenceIsWithin(const ReferenceNumber& a, const ReferenceNumber& b,
                       const std::optional<ReferenceNumber>& absolute, const std::optional<ReferenceNumber>& relative)
{
    int at = std::min(a.exponent, b.exponent);
    if (absolute)
        at = std::min(at, absolute->exponent);
    if (absolute && compareDigits(distance(a, b, at), absolute->scaledTo(at).second) <= 0)
        return true;
    if (!relative)
        return distance(a, b, at) == "0";
    // |a − b| ≤ r × m, both scaled to the lower of their exponents.
    const int common = std::min(a.exponent, b.exponent);
    const std::string magnitudeA = a.scaledTo(common).second;
    const std::string magnitudeB = b.scaledTo(common).second;
    const ReferenceNumber bound(false,
                                multiplyDigits(relative->scaledTo(relative->exponent).second,
                                               compareDigits(magnitudeA, magnitudeB) >= 0 ? magnitudeA : magnitudeB),
                                relative->exponent + common);
    const ReferenceNumber gap(false, distance(a, b, common), common);
    const int lowest = std::min(common, bound.exponent);
    return compareDigits(gap.scaledTo(lowest).second, bound.scaledTo(lowest).second) <= 0;
}

// A value of up to 25 digits, sometimes with trailing zeros, at a power of ten from -12 to 8.
ReferenceNumber randomNumber(Random& random)
{
    std::string digits(static_cast<std::size_t>(random.uniform(1, 25)), '0');
    for (char& digit : digits)
        digit = static_cast<char>('0' + random.uniform(0, 9));
    if (random.uniform(0, 4) == 0)
        digits += std::string(static_cast<std::size_t>(random.uniform(1, 5)), '0');
    return ReferenceNumber(random.uniform(0, 2) == 0, digits, random.uniform(-12, 8));
}

// A notation of the value as a file might hold it, and the decimal mark its column would decide.
std::pair<std::string, DecimalMark> written(const ReferenceNumber& value, Random& random)
{
    std::string plain = value.plainText();
    const bool isNegative = plain.starts_with('-');
    if (isNegative)
        plain.erase(0, 1);
    const std::size_t point = plain.find('.');
    std::string integer = plain.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : plain.substr(point + 1);
    if (random.uniform(0, 3) == 0)
        fraction += std::string(random.uniform(1, 3), '0');  // trailing zeros as a format writes them
    const DecimalMark mark = random.uniform(0, 1) == 0 ? DecimalMark::point : DecimalMark::comma;
    const std::string groupSeparator =
        mark == DecimalMark::point ? (random.uniform(0, 1) ? "," : " ") : (random.uniform(0, 1) ? "." : "\u00A0");
    if (random.uniform(0, 1) == 0)
        for (std::size_t end = integer.size(); end > 3; end -= 3)
            integer.insert(end - 3, groupSeparator);
    std::string body = integer + (fraction.empty() ? "" : (mark == DecimalMark::point ? "." : ",") + fraction);
    const int notation = random.uniform(0, 4);
    if (notation == 0)
        return {(isNegative ? "($" : "$") + body + (isNegative ? ")" : ""), mark};
    if (notation == 2)
        return {" " + std::string(isNegative ? "\u2212" : "+") + body + "  ", mark};
    return {(isNegative ? "-" : "") + body + (notation == 1 ? " EUR" : ""), mark};
}

TEST(DecimalProperty, everyNotationReadsAsTheReferenceValue)
{
    Random random{std::mt19937(20240305)};
    for (int round = 0; round < 4000; ++round) {
        const ReferenceNumber value = randomNumber(random);
        const auto [text, mark] = written(value, random);
        const std::optional<Decimal> read = readNumber(text, mark);
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(*read, *value.decimal()) << text;
        EXPECT_EQ(read->text().find('E') == std::string::npos ? read->text() : value.plainText(), value.plainText())
            << text;
    }
}

TEST(DecimalProperty, percentAndExponentShiftThePoint)
{
    Random random{std::mt19937(7)};
    for (int round = 0; round < 2000; ++round) {
        const ReferenceNumber value = randomNumber(random);
        const int shift = random.uniform(-20, 20);
        const ReferenceNumber shifted(value.isNegative, value.coefficient, value.exponent + shift - 2);
        const std::string text = value.plainText() + "e" + std::to_string(shift) + "%";
        EXPECT_EQ(readNumber(text, DecimalMark::point), shifted.decimal()) << text;
    }
}

TEST(DecimalProperty, equalityAndToleranceAgreeWithTheReference)
{
    Random random{std::mt19937(99)};
    for (int round = 0; round < 6000; ++round) {
        const ReferenceNumber a = randomNumber(random);
        // Often near a: the same value, or a moved by about the tolerance.
        ReferenceNumber b = randomNumber(random);
        if (round % 3 != 0) {
            const ReferenceNumber step = randomNumber(random);
            const int at = std::min(a.exponent, step.exponent);
            const auto [negativeA, digitsA] = a.scaledTo(at);
            const auto [negativeStep, digitsStep] = step.scaledTo(at);
            b = negativeA == negativeStep ? ReferenceNumber(negativeA, addDigits(digitsA, digitsStep), at)
                : compareDigits(digitsA, digitsStep) >= 0
                    ? ReferenceNumber(negativeA, subtractDigits(digitsA, digitsStep), at)
                    : ReferenceNumber(negativeStep, subtractDigits(digitsStep, digitsA), at);
        }
        std::optional<ReferenceNumber> absolute;
        std::optional<ReferenceNumber> relative;
        if (random.uniform(0, 1) == 0)
            absolute = randomNumber(random).magnitude();
        if (random.uniform(0, 2) == 0)
            relative = ReferenceNumber(false, std::to_string(random.uniform(0, 999)), random.uniform(-6, 0));
        const Decimal decimalA = *a.decimal();
        const Decimal decimalB = *b.decimal();
        const auto converted = [](const auto& value) { return value ? value->decimal() : std::nullopt; };
        EXPECT_EQ(isWithinTolerance(decimalA, decimalB, converted(absolute), converted(relative)),
                  referenceIsWithin(a, b, absolute, relative))
            << a.plainText() << " and " << b.plainText() << " abs " << (absolute ? absolute->plainText() : "-")
            << " rel " << (relative ? relative->plainText() : "-");
        EXPECT_EQ(decimalA == decimalB, referenceIsWithin(a, b, std::nullopt, std::nullopt));
    }
}

TEST(DecimalProperty, aToleranceExactlyAtTheDistanceAdmits)
{
    Random random{std::mt19937(5)};
    for (int round = 0; round < 2000; ++round) {
        const ReferenceNumber a = randomNumber(random);
        const ReferenceNumber b = randomNumber(random);
        const int at = std::min(a.exponent, b.exponent);
        const ReferenceNumber gap(false, distance(a, b, at), at);
        const ReferenceNumber shorter(false, subtractDigits(gap.scaledTo(at - 1).second, "1"), at - 1);
        const Decimal decimalA = *a.decimal();
        const Decimal decimalB = *b.decimal();
        EXPECT_TRUE(isWithinTolerance(decimalA, decimalB, gap.decimal(), std::nullopt))
            << a.plainText() << " and " << b.plainText();
        if (gap.coefficient != "") {
            EXPECT_FALSE(isWithinTolerance(decimalA, decimalB, shorter.decimal(), std::nullopt))
                << a.plainText() << " and " << b.plainText();
        }
    }
}

}  // namespace
}  // namespace rowlark::values
