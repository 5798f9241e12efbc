#include "engine/values/DateReading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rowlark::values {
namespace {

struct DateCase {
    std::string cell;
    DayOrder order;
    std::string expected;  // "day | instant", or "-" when the cell is not a date written so
};

std::string readText(const std::string& cell, DayOrder order)
{
    const std::optional<DateTime> value = readDateTime(cell, order);
    return value ? value->dateText() + " | " + value->instantText() : "-";
}

constexpr DayOrder undecided = DayOrder::undecided;
constexpr DayOrder dayFirst = DayOrder::dayFirst;
constexpr DayOrder monthFirst = DayOrder::monthFirst;

TEST(ReadDateTime, readsTheNotationsOfEverydayFiles)
{
    const std::vector<DateCase> cases = {
        {"2024-03-05", undecided, "2024-03-05 | 2024-03-05T00:00:00"},
        {"2024-03-05T12:00:00", undecided, "2024-03-05 | 2024-03-05T12:00:00"},
        {"2024-03-05 12:00:00", undecided, "2024-03-05 | 2024-03-05T12:00:00"},
        {"2024-03-05 12:00", undecided, "2024-03-05 | 2024-03-05T12:00:00"},
        {"2024-03-05  9:07", undecided, "2024-03-05 | 2024-03-05T09:07:00"},
        {"2024-03-05T12:00:00.500", undecided, "2024-03-05 | 2024-03-05T12:00:00.5"},
        {"2024-03-05T12:00:00.000", undecided, "2024-03-05 | 2024-03-05T12:00:00"},
        {"2024-03-05T12:00:00.123456789012", undecided, "2024-03-05 | 2024-03-05T12:00:00.123456789012"},
        {"2024-03-05T12:00:00Z", undecided, "2024-03-05 | 2024-03-05T12:00:00"},
        {"2024-03-05T12:00:00+01:00", undecided, "2024-03-05 | 2024-03-05T11:00:00"},
        {"2024-03-05T00:30:00+0100", undecided, "2024-03-05 | 2024-03-04T23:30:00"},
        {"2024-03-05T23:30:00-05", undecided, "2024-03-05 | 2024-03-06T04:30:00"},
        {"2024/03/05", undecided, "2024-03-05 | 2024-03-05T00:00:00"},
        {"2024/3/5 1:05 PM", undecided, "2024-03-05 | 2024-03-05T13:05:00"},
        {"5.3.2024", undecided, "2024-03-05 | 2024-03-05T00:00:00"},
        {"05.03.2024 23:59:59", undecided, "2024-03-05 | 2024-03-05T23:59:59"},
        {"3/5/2024", monthFirst, "2024-03-05 | 2024-03-05T00:00:00"},
        {"3/5/2024", dayFirst, "2024-05-03 | 2024-05-03T00:00:00"},
        {"03/05/2024 12:00 AM", monthFirst, "2024-03-05 | 2024-03-05T00:00:00"},
        {"03/05/2024 12:00 pm", monthFirst, "2024-03-05 | 2024-03-05T12:00:00"},
        {"03/05/2024 11:59:59 p.m.", monthFirst, "2024-03-05 | 2024-03-05T23:59:59"},
        {"2/29/2024", monthFirst, "2024-02-29 | 2024-02-29T00:00:00"},
        {"29/02/2000", dayFirst, "2000-02-29 | 2000-02-29T00:00:00"},
        {"0001-01-01", undecided, "0001-01-01 | 0001-01-01T00:00:00"},
        {"9999-12-31T23:59:59", undecided, "9999-12-31 | 9999-12-31T23:59:59"},
        {"1969-12-31T23:59:59.5", undecided, "1969-12-31 | 1969-12-31T23:59:59.5"},
        {"  2024-03-05  ", undecided, "2024-03-05 | 2024-03-05T00:00:00"},
        // Not dates written so.
        {"3/5/2024", undecided, "-"},  // the order is not decided
        {"2024-02-30", undecided, "-"},
        {"2023-02-29", undecided, "-"},
        {"1900-02-29", undecided, "-"},
        {"2024-13-01", undecided, "-"},
        {"0000-01-01", undecided, "-"},
        {"2024-03-05T", undecided, "-"},
        {"2024-03-05T24:00", undecided, "-"},
        {"2024-03-05 12:60", undecided, "-"},
        {"2024-03-05 12:00:60", undecided, "-"},
        {"2024-03-05 13:00 PM", undecided, "-"},
        {"2024-03-05 0:00 AM", undecided, "-"},
        {"2024-03-05 12:00:00.", undecided, "-"},
        {"2024-03-05 12", undecided, "-"},
        {"2024-03-05x", undecided, "-"},
        {"2024/03-05", undecided, "-"},
        {"5/3/24", dayFirst, "-"},
        {"5.3.24", undecided, "-"},
        {"20240305", undecided, "-"},
        {"March 5, 2024", undecided, "-"},
        {"12:00", undecided, "-"},
        {"1.5", undecided, "-"},
        {"", undecided, "-"},
        {"3/5/2024T12:00", monthFirst, "-"},
    };
    for (const DateCase& test : cases)
        EXPECT_EQ(readText(test.cell, test.order), test.expected) << test.cell;
}

TEST(ReadDateTime, aDayIsTheSameInstantAsItsMidnight)
{
    EXPECT_EQ(readDateTime("2024-03-05", undecided)->instant(),
              readDateTime("2024-03-05 00:00:00", undecided)->instant());
    EXPECT_FALSE(readDateTime("2024-03-05", undecided)->hasTime);
    EXPECT_TRUE(readDateTime("2024-03-05 00:00", undecided)->hasTime);
}

TEST(ReadDateTime, instantsCountSecondsExactly)
{
    const Decimal early = readDateTime("1969-12-31T23:59:59.25", undecided)->instant();
    const Decimal late = readDateTime("1970-01-01T00:00:01+00:00", undecided)->instant();
    EXPECT_TRUE(isWithinTolerance(early, late, Decimal::fromPlainText("1.75"), std::nullopt));
    EXPECT_FALSE(isWithinTolerance(early, late, Decimal::fromPlainText("1.7499"), std::nullopt));
    const Decimal first = readDateTime("0001-01-01T00:00:00+23:59", undecided)->instant();
    EXPECT_FALSE(first.isNegative) << "instants count up from before the year 1";
}

TEST(DateTimeOfSerial, readsSerialsOfBothDateSystems)
{
    struct SerialCase {
        double serial;
        bool isDate1904;
        std::string expected;
    };
    const std::vector<SerialCase> cases = {
        {45356.5, false, "2024-03-05T12:00:00"},
        {45356, false, "2024-03-05T00:00:00"},
        {43894.5, true, "2024-03-05T12:00:00"},
        {61, false, "1900-03-01T00:00:00"},
        {59, false, "1900-02-28T00:00:00"},
        {1, false, "1900-01-01T00:00:00"},
        {0.5, false, "1899-12-31T12:00:00"},
        {0, true, "1904-01-01T00:00:00"},
        {45356.4383680556, false, "2024-03-05T10:31:15"},
        {45356.999999999, false, "2024-03-06T00:00:00"},  // rounds to the millisecond
        {45356.0000011574, false, "2024-03-05T00:00:00.1"},
        {2958465.99999, false, "9999-12-31T23:59:59.136"},
    };
    for (const SerialCase& test : cases) {
        const std::optional<DateTime> value = dateTimeOfSerial(test.serial, test.isDate1904);
        ASSERT_TRUE(value) << test.serial;
        EXPECT_EQ(value->instantText(), test.expected) << test.serial;
    }
    for (const double serial : {60.0, 60.5, -1.0, 2958466.0, std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(dateTimeOfSerial(serial, false)) << serial;
    EXPECT_FALSE(dateTimeOfSerial(2957004, true));
}

TEST(DayOrderEvidence, aColumnDecidesItsOrderFromItsValues)
{
    struct Column {
        std::vector<std::string> cells;
        DayOrder expected;
    };
    const std::vector<Column> columns = {
        {{"3/5/2024", "4/6/2024"}, undecided},
        {{"3/5/2024", "13/6/2024"}, dayFirst},
        {{"3/5/2024", "6/13/2024 10:00 PM"}, monthFirst},
        {{"13/6/2024", "6/13/2024"}, undecided},  // both told
        {{"2024-03-05", "2024/03/15"}, undecided},
        {{"31/12/2024", "text"}, dayFirst},
        {{"13/13/2024"}, undecided},
    };
    for (const Column& column : columns) {
        DayOrderEvidence evidence;
        for (const std::string& cell : column.cells)
            evidence.note(cell);
        EXPECT_EQ(evidence.decision(), column.expected) << ::testing::PrintToString(column.cells);
    }
}

}  // namespace
}  // namespace rowlark::values
