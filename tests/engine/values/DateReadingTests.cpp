#include "engine/values/DateReading.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/values/NumberReading.h"
#define ROWLARK_CASE_FOLDER (std::string(std::getenv("ROWLARK_TEST_DATA")) + "/values")
#include "tests/engine/text/CaseFile.h"

namespace rowlark::values {
namespace {

constexpr DayOrder undecided = DayOrder::undecided;

DayOrder dayOrder(const std::string& name)
{
    return name == "dayFirst" ? DayOrder::dayFirst : name == "monthFirst" ? DayOrder::monthFirst : undecided;
}

TEST(ReadDateTime, readsTheNotationsOfEverydayFiles)
{
    testing::expectCases("dates.txt", [](const std::vector<std::string>& fields) -> std::string {
        const std::optional<DateTime> value = readDateTime(fields[0], dayOrder(fields[1]));
        return value ? value->dateText() + " | " + value->instantText() : "-";
    });
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
    testing::expectCases("serials.txt", [](const std::vector<std::string>& fields) {
        const std::optional<DateTime> value = dateTimeOfSerial(std::stod(fields[0]), fields[1] == "1904");
        return value ? value->instantText() : "-";
    });
}

// A column notes each of its cells; what the notes decide is its decimal mark or its day order.
TEST(ColumnEvidence, aColumnDecidesFromItsValues)
{
    testing::expectCases("evidence.txt", [](const std::vector<std::string>& fields) -> std::string {
        DecimalMarkEvidence mark;
        DayOrderEvidence order;
        for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 3) {
            end = fields[0].find(" | ", start);
            mark.note(fields[0].substr(start, end - start));
            order.note(fields[0].substr(start, end - start));
        }
        if (fields[1] == "mark")
            return mark.decision() == DecimalMark::comma ? "comma" : "point";
        return order.decision() == DayOrder::dayFirst     ? "dayFirst"
               : order.decision() == DayOrder::monthFirst ? "monthFirst"
                                                          : "undecided";
    });
}

}  // namespace
}  // namespace rowlark::values
