#include "engine/analysis/ColumnProfile.h"
#include "engine/analysis/ValueTests.h"
#include "tests/engine/analysis/AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <unicode/regex.h>

#include <clocale>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace rowlark::analysis {
namespace {

using testing::columnTable;

using Inputs = std::vector<std::string>;

// In worstCaseValues.txt a value is a prefix, a piece repeated to 50,000 bytes and a suffix.
TEST(ValueTests, DecideTheValuesOfTheDataFiles)
{
    const std::map<std::string, bool (*)(std::string_view)> tests{{"isBooleanWord", isBooleanWord},
                                                                  {"isIdentifier", isIdentifier},
                                                                  {"isEmailAddress", isEmailAddress},
                                                                  {"isWebAddress", isWebAddress},
                                                                  {"isDate", isDate},
                                                                  {"isPhoneNumber", isPhoneNumber},
                                                                  {"startsLikeJSON", startsLikeJSON},
                                                                  {"isIntegerLiteral", isIntegerLiteral},
                                                                  {"isDecimalLiteral", isDecimalLiteral}};
    rowlark::testing::expectCases("valueTests.txt", [&](const Inputs& fields) {
        return rowlark::testing::yesOrNo(tests.at(fields[0])(fields[1]));
    });
    rowlark::testing::expectCases("worstCaseValues.txt", [&](const Inputs& fields) {
        std::string repeated;
        while (repeated.size() < 50'000)
            repeated += fields[2];
        return rowlark::testing::yesOrNo(tests.at(fields[0])(fields[1] + repeated + fields[3]));
    });
}

// The e-mail test scans instead of running the regular expression it stands for; on strings over
// the characters that decide that expression (both line terminators that "$" may stand before
// and white space that is not one, an invalid byte) the two agree.
TEST(ValueTests, EmailAddressesAsTheRegularExpressionDecides)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError error;
    const std::unique_ptr<icu::RegexPattern> pattern(
        icu::RegexPattern::compile(u"^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$", 0, error, status));
    const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(status));
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    const std::vector<std::string> alphabet{"a",  "\u00E9", ".",      "@",      " ",    "\u00A0", "\n",
                                            "\r", "\v",     "\u0085", "\u2028", "\x1C", "\xFF"};
    std::mt19937 random(13);
    std::uniform_int_distribution<std::size_t> length(0, 9);
    std::uniform_int_distribution<std::size_t> symbol(0, alphabet.size() - 1);
    for (int round = 0; round < 200'000; ++round) {
        std::string value;
        for (std::size_t count = length(random); count > 0; --count)
            value += alphabet[symbol(random)];
        const icu::UnicodeString text = icu::UnicodeString::fromUTF8(value);
        matcher->reset(text);
        const bool expected = matcher->find(status);
        ASSERT_EQ(isEmailAddress(value), expected) << ::testing::PrintToString(value);
    }
}

TEST(ValueTests, DecimalsIgnoreTheProcessLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    const bool fullStop = isDecimalLiteral("2.5");
    const bool comma = isDecimalLiteral("2,5");
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_TRUE(fullStop);
    EXPECT_FALSE(comma);
}

std::string kindOf(const std::vector<std::string>& values)
{
    return testing::kindNames[static_cast<int>(profile(testing::columnTable(values), 0).kind)];
}

TEST(Profile, DetectsTheKindOfTheSample)
{
    rowlark::testing::expectCases("columnKinds.txt", kindOf);
    // 85 percent integers are too few; 50 identifiers among blanks are enough.
    std::vector<std::string> mostlyIntegers;
    for (int i = 0; i < 100; ++i)
        mostlyIntegers.push_back(i % 20 < 17 ? std::to_string(i % 20 + 1) : "word " + std::to_string(i % 20));
    EXPECT_EQ(kindOf(mostlyIntegers), "text");
    std::vector<std::string> uuidsAmongBlanks(1000, "");
    for (std::size_t i = 0; i < 50; ++i)
        uuidsAmongBlanks[i * 20] = "123e4567-e89b-42d3-a456-4266141740" + std::to_string(10 + i);
    EXPECT_EQ(kindOf(uuidsAmongBlanks), "uuid");
}

TEST(Profile, OnlyTheFirstThousandRowsCountAndAtMost750LowerCaseValuesAreKept)
{
    std::vector<std::string> values(1000, "   ");
    values.insert(values.end(), {"a", "b", "c"});
    EXPECT_EQ(profile(testing::columnTable(values), 0), ColumnProfile());

    std::vector<std::string> numbered;
    for (int i = 0; i < 1200; ++i)
        numbered.push_back("value " + std::to_string(i));
    const ColumnProfile distinct = profile(testing::columnTable(numbered), 0);
    EXPECT_EQ(distinct.values.size(), 750u);
    EXPECT_EQ(distinct.uniqueRatio, 0.75);
    EXPECT_TRUE(distinct.values.contains("value 749"));
    EXPECT_FALSE(distinct.values.contains("value 750"));

    const ColumnProfile cased =
        profile(testing::columnTable({"ABC", "abc", " Abc ", "\u00C9T\u00C9", "e\u0301t\u00E9"}), 0);
    EXPECT_EQ(cased.values, (std::unordered_set<std::string>{"abc", "\u00E9t\u00E9"}));
    EXPECT_EQ(cased.uniqueRatio, 2.0 / 5.0);
}

TEST(Profile, BadIndicesAndShortColumnsGiveEmptyProfiles)
{
    const table::Table table = testing::columnTable({"1", "2", "3"});
    for (const std::int64_t index : {std::int64_t{-1}, std::int64_t{1}, std::int64_t{1} << 40, INT64_MIN})
        EXPECT_EQ(profile(table, index), ColumnProfile()) << index;
    EXPECT_EQ(profile(table::Table(), 0), ColumnProfile());
    EXPECT_EQ(profile(table::Table::fromRows({"A"}, {}), 0), ColumnProfile());
}

TEST(Profile, MegabyteCellsAreProfiledWithoutTrouble)
{
    const std::string big(1 << 20, 'x');
    const std::string bigDate = "2024-01-05 " + std::string(1 << 20, '9');
    const ColumnProfile text = profile(testing::columnTable({big, big, big + "y"}), 0);
    EXPECT_EQ(text.kind, ColumnKind::text);
    EXPECT_EQ(text.values.size(), 2u);
    EXPECT_EQ(profile(testing::columnTable({bigDate, bigDate}), 0).kind, ColumnKind::date);
    EXPECT_EQ(profile(testing::columnTable({std::string(1 << 20, '7')}), 0).kind, ColumnKind::decimal);
}

}  // namespace
}  // namespace rowlark::analysis
