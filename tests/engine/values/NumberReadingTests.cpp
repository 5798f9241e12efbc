#include "engine/values/NumberReading.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#define ROWLARK_CASE_FOLDER (std::string(std::getenv("ROWLARK_TEST_DATA")) + "/values")
#include "tests/engine/text/CaseFile.h"

namespace rowlark::values {
namespace {

std::string readText(const std::string& cell, DecimalMark mark)
{
    const std::optional<Decimal> number = readNumber(cell, mark);
    return number ? number->text() : "-";
}

constexpr DecimalMark point = DecimalMark::point;
constexpr DecimalMark comma = DecimalMark::comma;

TEST(ReadNumber, readsTheNotationsOfEverydayFiles)
{
    testing::expectCases("numbers.txt", [](const std::vector<std::string>& fields) {
        return readText(fields[0], fields[1] == "comma" ? comma : point);
    });
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
    EXPECT_EQ(readText("1e" + std::string(990, '9'), point), "-") << "an exponent of 990 digits";
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
