#include "engine/values/DateReading.h"

#include <gtest/gtest.h>

#include <array>
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
        return value ? value->dateText() + " | " + value->instantText() + (value->hasTime ? " | time" : " | no time")
                     : "-";
    });
}

TEST(ReadDateTime, instantsCountUpFromBeforeTheFirstYear)
{
    EXPECT_FALSE(readDateTime("0001-01-01T00:00:00+23:59", undecided)->instant().isNegative);
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
        for (std::size_t cell = 1; cell < fields.size(); ++cell) {
            mark.note(fields[cell]);
            order.note(fields[cell]);
        }
        if (fields[0] == "mark")
            return mark.decision() == DecimalMark::comma ? "comma" : "point";
        return std::array{"undecided", "dayFirst", "monthFirst"}[static_cast<std::size_t>(order.decision())];
    });
}

}  // namespace
}  // namespace rowlark::values
