#include "AnalysisTestSupport.h"
#include "analysis/ColumnProfile.h"
#include "analysis/ValueTests.h"

#include <gtest/gtest.h>

#include <unicode/regex.h>

#include <clocale>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace rowlark::CSVComparator {
namespace {

using testing::columnTable;

struct ValueCase {
    std::string value;
    bool passes;
};

void expectEachCase(bool (*test)(std::string_view), const std::vector<ValueCase>& cases)
{
    for (const auto& [value, passes] : cases)
        EXPECT_EQ(test(value), passes) << '"' << value << '"';
}

TEST(ValueTests, BooleanWordsInAnyLetterCase)
{
    expectEachCase(isBooleanWord, {{"true", true},
                                   {"FALSE", true},
                                   {"Yes", true},
                                   {"no", true},
                                   {"0", true},
                                   {"1", true},
                                   {"y", false},
                                   {"truee", false},
                                   {"2", false},
                                   {"", false},
                                   {"Ｙes", false}});
}

TEST(ValueTests, IdentifiersOfVersionsOneToFiveInEitherCase)
{
    expectEachCase(isIdentifier, {{"123e4567-e89b-42d3-a456-426614174000", true},
                                  {"123E4567-E89B-12D3-B456-426614174000", true},
                                  {"123e4567-e89b-62d3-a456-426614174000", false},  // version 6
                                  {"123e4567-e89b-42d3-c456-426614174000", false},  // variant c
                                  {"123e4567-e89b-42d3-a456-42661417400", false},
                                  {"123e4567e89b42d3a456426614174000abcd", false},
                                  {"{23e4567-e89b-42d3-a456-426614174000", false}});
}

TEST(ValueTests, EmailAddressesNeedOneAtAndADotAfterIt)
{
    expectEachCase(isEmailAddress, {{"a@b.c", true},
                                    {"first.last@example.co.uk", true},
                                    {"a@b..c", true},
                                    {"ü@bücher.de", true},
                                    {"a@b", false},
                                    {"@b.c", false},
                                    {"a@.c", false},
                                    {"a@b.", false},
                                    {"a@@b.c", false},
                                    {"a b@c.d", false},
                                    {"a@b.c\u00A0d", false}});  // \s is Unicode white space
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

// Values that drive a backtracking matcher into quadratic time, or a scan into rescanning;
// a linear test decides each in well under a second, even in a sanitizer build.
TEST(ValueTests, WorstCaseValuesAreDecided)
{
    constexpr std::size_t size = 50'000;
    const auto repeat = [](std::string_view piece) {
        std::string value;
        while (value.size() < size)
            value += piece;
        return value;
    };
    const std::vector<std::tuple<std::string, bool (*)(std::string_view), std::string, bool>> cases{
        {"dotted domain ending in @", isEmailAddress, "a@" + repeat("a.") + "@", false},
        {"dotted domain", isEmailAddress, "a@" + repeat("a."), true},
        {"at signs", isEmailAddress, repeat("@"), false},
        {"long identifier", isIdentifier, repeat("a-"), false},
        {"web address start", isWebAddress, "www." + repeat("w"), true},
        {"date and a long time part", isDate, "2024-01-05 " + repeat("x"), true},
        {"date and a second line", isDate, "2024-01-05 " + repeat("x") + "\ny", false},
        {"short dates", isDate, repeat("1/1/1"), false},
        {"digits", isDate, repeat("1"), false},
        {"separators", isPhoneNumber, repeat("-"), false},
    };
    for (const auto& [name, test, value, passes] : cases)
        EXPECT_EQ(test(value), passes) << name;
}

TEST(ValueTests, WebAddressesByTheirStartIgnoringCase)
{
    expectEachCase(isWebAddress, {{"http://example.com", true},
                                  {"https://x", true},
                                  {"HTTPS://X", true},
                                  {"www.example.com", true},
                                  {"WwW.x", true},
                                  {"www.", true},
                                  {"ftp://example.com", false},
                                  {"http:/x", false},
                                  {"wwwx", false},
                                  {"see http://x", false},
                                  {"\u1E96ttp://x", false}});
}

TEST(ValueTests, DatesYearFirstOrDayAndMonthFirst)
{
    expectEachCase(isDate, {{"2024-01-05", true},
                            {"2024/1/5 10:30", true},
                            {"1/5/24", true},
                            {"2024-01-05T10:00:00Z", true},
                            {"2024-13-45", true},
                            {"05-01-2024", true},
                            {"\u0662\u0660\u0662\u0664-\u0660\u0661-\u0660\u0665", true},  // Arabic-Indic digits
                            {"Jan 5, 2024", false},
                            {"2024-01-05x", false},
                            {"1/5/2", false},
                            {"2024-01", false},
                            {"1/5/24 10:30", false}});
}

TEST(ValueTests, PhoneNumbersCountNumericCharactersAndRejectLetters)
{
    expectEachCase(isPhoneNumber, {{"+1 (555) 123-4567", true},
                                   {"5551234", true},
                                   {"123456789012345", true},
                                   {"555.123.4567", true},
                                   {"\u0660\u0661\u0662\u0663\u0664\u0665\u0666", true},
                                   {"123456", false},
                                   {"1234567890123456", false},
                                   {"555-1234 ext", false},
                                   {"555-1234 \u00E9", false},
                                   {"5551234\u0301", true},     // the mark belongs to the digit 4
                                   {"\u03015551234", false}});  // a mark on its own counts as a letter
}

TEST(ValueTests, JSONStartsWithABraceOrBracket)
{
    expectEachCase(startsLikeJSON, {{"{}", true}, {"[1]", true}, {"{broken", true}, {"\"{}\"", false}, {"", false}});
}

TEST(ValueTests, IntegersWithinTheSigned64BitRange)
{
    expectEachCase(isIntegerLiteral, {{"0", true},
                                      {"+5", true},
                                      {"-17", true},
                                      {"007", true},
                                      {"9223372036854775807", true},
                                      {"-9223372036854775808", true},
                                      {"9223372036854775808", false},
                                      {"-9223372036854775809", false},
                                      {"99999999999999999999", false},
                                      {"-", false},
                                      {"+", false},
                                      {"+-1", false},
                                      {"1,000", false},
                                      {"1.0", false},
                                      {"1e3", false},
                                      {"\u0661\u0662", false},
                                      {"", false}});
}

TEST(ValueTests, DecimalsFollowTheCLibraryGrammar)
{
    expectEachCase(isDecimalLiteral, {{"1", true},
                                      {"2.5", true},
                                      {"-.5", true},
                                      {"5.", true},
                                      {"1e3", true},
                                      {"1E-3", true},
                                      {"1e999", true},
                                      {"0x1p3", true},
                                      {"0X1.8P-1", true},
                                      {"NaN", true},
                                      {"nan(123)", true},
                                      {"inf", true},
                                      {"-Infinity", true},
                                      {"1e", false},
                                      {"1.5.2", false},
                                      {"1,5", false},
                                      {" 1", false},
                                      {"1 ", false},
                                      {"infinit", false},
                                      {"", false},
                                      {std::string("1\0"
                                                   "2",
                                                   3),
                                       false},
                                      {std::string(200, '1') + "x", false},
                                      {std::string(200, '1'), true}});
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

std::vector<std::string> repeated(const std::vector<std::string>& pattern, std::size_t count)
{
    std::vector<std::string> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(pattern[i % pattern.size()]);
    return values;
}

std::vector<std::string> numbered(std::size_t count, const std::string& prefix = "value ")
{
    std::vector<std::string> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(prefix + std::to_string(i));
    return values;
}

struct KindCase {
    std::string name;
    std::vector<std::string> values;
    ColumnKind kind;
};

TEST(Profile, DetectsTheKindOfTheSample)
{
    std::vector<std::string> mostlyIntegers = repeated({"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",    "9",     "10",
                                                        "11", "12", "13", "14", "15", "16", "17", "word", "other", "x"},
                                                       100);
    std::vector<std::string> uuidsAmongBlanks(1000, "");
    for (std::size_t i = 0; i < 50; ++i)
        uuidsAmongBlanks[i * 20] = "123e4567-e89b-42d3-a456-4266141740" + std::to_string(10 + i);
    const std::vector<KindCase> cases{
        {"zeros and ones", repeated({"0", "1"}, 10), ColumnKind::boolean},
        {"yes and no in any case", {"yes", "No", "YES", "no"}, ColumnKind::boolean},
        {"uuids among blanks", uuidsAmongBlanks, ColumnKind::uuid},
        {"emails", {"a@b.co", "c@d.org", "e@f.net", "g@h.io", "i@j.de"}, ColumnKind::email},
        {"web addresses", {"http://a", "HTTPS://b", "www.c.d", "https://e", "www.f"}, ColumnKind::url},
        {"dates", {"2024-01-05", "2024/1/5 10:30", "1/5/24", "2024-01-05T10:00:00Z"}, ColumnKind::date},
        {"ten-digit numbers", {"5551234567", "5551234568", "5551234569"}, ColumnKind::phone},
        {"six-digit numbers", {"123456", "234567", "345678"}, ColumnKind::integer},
        {"json", {"{\"a\": 1}", "[1, 2]", "{}", "[]"}, ColumnKind::json},
        {"mixed numbers", {"1", "2.5", "NaN", "4", "5e3"}, ColumnKind::decimal},
        {"85 percent integers", mostlyIntegers, ColumnKind::text},
        {"four of five dates", {"2024-01-05", "2024-01-06", "2024-01-07", "2024-01-08", "soon"}, ColumnKind::date},
        {"three of five dates", {"2024-01-05", "2024-01-06", "2024-01-07", "later", "soon"}, ColumnKind::text},
        {"words", {"apple", "pear"}, ColumnKind::text},
    };
    for (const auto& [name, values, kind] : cases)
        EXPECT_EQ(profile(columnTable(values), 0).kind, kind) << name;
}

TEST(Profile, OnlyTheFirstThousandRowsCount)
{
    std::vector<std::string> values(1000, "   ");
    values.insert(values.end(), {"a", "b", "c"});
    const ColumnProfile blankSample = profile(columnTable(values), 0);
    EXPECT_EQ(blankSample.kind, ColumnKind::empty);
    EXPECT_TRUE(blankSample.values.empty());
    EXPECT_EQ(blankSample.uniqueRatio, 0);

    const ColumnProfile distinct = profile(columnTable(numbered(1200)), 0);
    EXPECT_EQ(distinct.values.size(), 750u);
    EXPECT_EQ(distinct.uniqueRatio, 0.75);
    EXPECT_TRUE(distinct.values.contains("value 749"));
    EXPECT_FALSE(distinct.values.contains("value 750"));
}

TEST(Profile, KeepsAtMost750LowerCaseValues)
{
    const ColumnProfile eightHundred = profile(columnTable(numbered(800)), 0);
    EXPECT_EQ(eightHundred.values.size(), 750u);
    EXPECT_EQ(eightHundred.uniqueRatio, 750.0 / 800.0);

    const ColumnProfile cased = profile(columnTable({"ABC", "abc", " Abc ", "\u00C9T\u00C9", "e\u0301t\u00E9"}), 0);
    EXPECT_EQ(cased.values, (std::unordered_set<std::string>{"abc", "\u00E9t\u00E9"}));
    EXPECT_EQ(cased.uniqueRatio, 2.0 / 5.0);
}

TEST(Profile, BadIndicesAndShortColumnsGiveEmptyProfiles)
{
    const CSVTable table = columnTable({"1", "2", "3"});
    for (const std::int64_t index : {std::int64_t{-1}, std::int64_t{1}, std::int64_t{1} << 40, INT64_MIN}) {
        const ColumnProfile result = profile(table, index);
        EXPECT_EQ(result.kind, ColumnKind::empty) << index;
        EXPECT_TRUE(result.values.empty());
        EXPECT_EQ(result.uniqueRatio, 0);
    }
    EXPECT_EQ(profile(CSVTable(), 0), ColumnProfile());
    EXPECT_EQ(profile(CSVTable::fromRows({"A"}, {}), 0), ColumnProfile());
}

TEST(Profile, MegabyteCellsAreProfiledWithoutTrouble)
{
    const std::string big(1 << 20, 'x');
    const std::string bigDate = "2024-01-05 " + std::string(1 << 20, '9');
    const ColumnProfile text = profile(columnTable({big, big, big + "y"}), 0);
    EXPECT_EQ(text.kind, ColumnKind::text);
    EXPECT_EQ(text.values.size(), 2u);
    EXPECT_EQ(profile(columnTable({bigDate, bigDate}), 0).kind, ColumnKind::date);
    EXPECT_EQ(profile(columnTable({std::string(1 << 20, '7')}), 0).kind, ColumnKind::decimal);
}

}  // namespace
}  // namespace rowlark::CSVComparator
