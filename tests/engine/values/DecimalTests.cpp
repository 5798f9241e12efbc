#include "engine/values/Decimal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#define ROWLARK_CASE_FOLDER (std::string(std::getenv("ROWLARK_TEST_DATA")) + "/values")
#include "tests/engine/text/CaseFile.h"

namespace rowlark::values {
namespace {

Decimal number(std::string_view text)
{
    const std::optional<Decimal> value = Decimal::fromPlainText(text);
    EXPECT_TRUE(value) << text;
    return value.value_or(Decimal{});
}

TEST(Decimal, oneTextPerValue)
{
    testing::expectCases("decimal-texts.txt", [](const std::vector<std::string>& fields) {
        const std::optional<Decimal> value = Decimal::fromPlainText(fields[0]);
        if (value) {
            EXPECT_EQ(number(value->text()).text(), value->text()) << "the text reads back as the same value";
        }
        return value ? value->text() : "-";
    });
}

TEST(Decimal, storedNumbersReadAsTheirShortestDecimal)
{
    testing::expectCases("doubles.txt", [](const std::vector<std::string>& fields) {
        const std::optional<Decimal> value = Decimal::fromDouble(std::stod(fields[0]));
        return value ? value->text() : "-";
    });
}

TEST(Decimal, ordersByValue)
{
    const std::vector<std::string> ascending = {"-1e5",   "-10",   "-9.99",     "-0.001", "0",
                                                "1e-300", "0.001", "0.0010001", "1",      "1.0000000000000000001",
                                                "9.99",   "10",    "1e300"};
    for (std::size_t i = 0; i < ascending.size(); ++i)
        for (std::size_t j = 0; j < ascending.size(); ++j)
            EXPECT_EQ(compare(number(ascending[i]), number(ascending[j])), i <=> j)
                << ascending[i] << " against " << ascending[j];
}

TEST(Decimal, toleranceBoundariesAreExact)
{
    testing::expectCases("tolerances.txt", [](const std::vector<std::string>& fields) {
        const auto tolerance = [&](std::size_t field) {
            return fields[field].empty() ? std::nullopt : std::optional<Decimal>(number(fields[field]));
        };
        const bool isWithin = isWithinTolerance(number(fields[0]), number(fields[1]), tolerance(2), tolerance(3));
        EXPECT_EQ(isWithinTolerance(number(fields[1]), number(fields[0]), tolerance(2), tolerance(3)), isWithin)
            << "in the other order";
        return testing::yesOrNo(isWithin);
    });
}

}  // namespace
}  // namespace rowlark::values
