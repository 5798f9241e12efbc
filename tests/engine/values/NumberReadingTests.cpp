#include "engine/values/NumberReading.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace rowlark::values {
namespace {

struct Reading {
    std::string cell;
    DecimalMark mark;
    std::string expected;  // the canonical text, or "-" when the cell is not a number written so
};

std::string readText(const std::string& cell, DecimalMark mark)
{
    const std::optional<Decimal> number = readNumber(cell, mark);
    return number ? number->text() : "-";
}

constexpr DecimalMark point = DecimalMark::point;
constexpr DecimalMark comma = DecimalMark::comma;

TEST(ReadNumber, readsTheNotationsOfEverydayFiles)
{
    const std::vector<Reading> readings = {
        {"1", point, "1"},
        {"1.0", point, "1"},
        {"1.00", point, "1"},
        {"1E0", point, "1"},
        {"1e+0", point, "1"},
        {"63490.0", point, "63490"},
        {"9100.30", point, "9100.3"},
        {"1.65%", point, "0.0165"},
        {"1.65 %", point, "0.0165"},
        {"0.0165", point, "0.0165"},
        {"5,970.56", point, "5970.56"},
        {"5 970.56", point, "5970.56"},
        {"5\u00A0970.56", point, "5970.56"},
        {"5\u202F970,56", comma, "5970.56"},
        {"5 970,56", comma, "5970.56"},
        {"5.970,56", comma, "5970.56"},
        {"1'234'567.5", point, "1234567.5"},
        {"1,234,567", point, "1234567"},
        {"1.234.567", comma, "1234567"},
        {"$5,970.56", point, "5970.56"},
        {"5,970.56 $", point, "5970.56"},
        {"€ 12,50", comma, "12.5"},
        {"12,50 €", comma, "12.5"},
        {"USD 1,234.50", point, "1234.5"},
        {"1,234.50 EUR", point, "1234.5"},
        {"(12.50)", point, "-12.5"},
        {"-12.50", point, "-12.5"},
        {"\u221212.50", point, "-12.5"},
        {"+12.50", point, "12.5"},
        {"($12.50)", point, "-12.5"},
        {"$ (12.50)", point, "-12.5"},
        {"-$12.50", point, "-12.5"},
        {"$-12.50", point, "-12.5"},
        {"  42  ", point, "42"},
        {"\t42\n", point, "42"},
        {".5", point, "0.5"},
        {"5.", point, "5"},
        {",5", comma, "0.5"},
        {"007", point, "7"},
        {"1.5E-3", point, "0.0015"},
        {"1e21", point, "1E+21"},
        {"123456789012345678901", point, "123456789012345678901"},
        {"1e-8", point, "1E-8"},
        {"0.0000001", point, "1E-7"},
        {"0.000001", point, "0.000001"},
        {"12e-1%", point, "0.012"},
        // Not numbers written so.
        {"", point, "-"},
        {"   ", point, "-"},
        {"abc", point, "-"},
        {".", point, "-"},
        {"1,5", point, "-"},
        {"1.5", comma, "-"},
        {"1,23,456", point, "-"},
        {"12,3456", point, "-"},
        {"1,234.5.6", point, "-"},
        {"1,234 567", point, "-"},
        {"1,234,", point, "-"},
        {"- 5", point, "-"},
        {"--5", point, "-"},
        {"(-5)", point, "-"},
        {"$5%", point, "-"},
        {"$€5", point, "-"},
        {"5 ABC", point, "-"},
        {"ABC 5", point, "-"},
        {"1e", point, "-"},
        {"e5", point, "-"},
        {"NaN", point, "-"},
        {"Infinity", point, "-"},
        {"0x1A", point, "-"},
        {"1/2", point, "-"},
        {"12:00", point, "-"},
        {"2024-03-05", point, "-"},
        {"\u0661\u0662", point, "-"},  // digits of other scripts are not read
    };
    for (const Reading& reading : readings)
        EXPECT_EQ(readText(reading.cell, reading.mark), reading.expected)
            << reading.cell << (reading.mark == comma ? " (decimal comma)" : "");
}

TEST(ReadNumber, everyZeroIsZero)
{
    for (const std::string cell : {"0", "-0", "+0", "-0.00", "(0)", "0E5", "-0e-5", "0%", "$-0", "000.000"})
        EXPECT_EQ(readText(cell, point), "0") << cell;
}

TEST(ReadNumber, exponentsUpToEighteenDigitsAreRead)
{
    EXPECT_EQ(readText("1e999999999999999999", point), "1E+999999999999999999");
    EXPECT_EQ(readNumber("1e999999999999999999", point), readNumber("10e999999999999999998", point));
    EXPECT_EQ(readText("1e-999999999999999999", point), "1E-999999999999999999");
    EXPECT_EQ(readText("1e0000000000000000000000000000005", point), "100000") << "leading zeros do not count";
    EXPECT_EQ(readText("1e1000000000000000000", point), "-");
    EXPECT_EQ(readText("10e999999999999999999", point), "-") << "its leading digit's power has 19 digits";
    EXPECT_EQ(readText("0.1e-999999999999999999", point), "-");
    EXPECT_EQ(readText("0.1e999999999999999999", point), "1E+999999999999999998");
    EXPECT_EQ(readText("999e-999999999999999999", point), "9.99E-999999999999999997");
    EXPECT_EQ(readText("1e" + std::string(990, '9'), point), "-");
}

TEST(ReadNumber, textsOverAThousandCharactersAreNotRead)
{
    const std::string thousand = "1" + std::string(999, '0');
    EXPECT_EQ(readText(thousand, point), "1E+999");
    EXPECT_EQ(readText(thousand + "0", point), "-");
    EXPECT_EQ(readText("  " + thousand + "  ", point), "1E+999") << "surrounding white space does not count";
    // Characters, not bytes: 999 digits and a euro sign are 1,000 characters.
    EXPECT_EQ(readNumber(std::string(999, '1') + "€", point)->digits, std::string(999, '1'));
    EXPECT_EQ(readText(std::string(1000, '1') + "€", point), "-");
}

TEST(ReadNumber, doesNotDependOnTheLocale)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (!std::setlocale(LC_ALL, name))
            continue;
        EXPECT_EQ(readText("1,234.5", point), "1234.5") << name;
        EXPECT_EQ(readText("1.234,5", comma), "1234.5") << name;
        EXPECT_EQ(Decimal::fromDouble(0.1)->text(), "0.1") << name;
    }
    std::setlocale(LC_ALL, before.c_str());
}

TEST(DecimalMarkEvidence, aColumnDecidesItsMarkFromItsValues)
{
    struct Column {
        std::vector<std::string> cells;
        DecimalMark expected;
    };
    const std::vector<Column> columns = {
        {{"1", "2", "3"}, point},
        {{"1,234", "5,678"}, point},  // a thousands comma or a decimal one: undecided,
                                      // so the point
        {{"1,234", "1,5"}, comma},
        {{"5.970,56", "12"}, comma},
        {{"1.234.567"}, comma},
        {{"1,5", "1.5"}, point},  // both told: the point
        {{"1,234,567", "1,5"}, point},
        {{"€ 12,50", "7"}, comma},
        {{"0.0165", "1,5"}, point},
        {{"n/a", "1,5"}, comma},
    };
    for (const Column& column : columns) {
        DecimalMarkEvidence evidence;
        for (const std::string& cell : column.cells)
            evidence.note(cell);
        EXPECT_EQ(evidence.decision(), column.expected) << ::testing::PrintToString(column.cells);
    }
}

TEST(DecimalMarkEvidence, mergingKeepsWhatEitherPartWasTold)
{
    DecimalMarkEvidence comma;
    comma.note("1,5");
    DecimalMarkEvidence point;
    point.note("1.5");
    EXPECT_TRUE(point.isSettled());
    EXPECT_FALSE(comma.isSettled());
    comma.merge(point);
    EXPECT_EQ(comma.decision(), DecimalMark::point);
}

}  // namespace
}  // namespace rowlark::values
