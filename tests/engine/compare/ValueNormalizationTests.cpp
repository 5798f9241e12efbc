#include "engine/compare/ValueNormalization.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/text/Unicode.h"
#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::compare {
namespace {

TEST(CanonicalComparable, cellsTakeTheFormsOfTheirTable)
{
    const auto lines = testing_support::sections(testing_support::dataFolder("compare") / "comparable-forms.txt")[""];
    EXPECT_GE(lines.size(), 100u);
    for (const std::string& line : lines) {
        const auto row = testing_support::fields(line);
        ASSERT_GE(row.size(), 3u) << line;
        const bool ignoreCase = row.size() > 3 && row[3] == "ignore case";
        const std::string header = text::normalizeHeader(testing_support::unescaped(row[0]));
        EXPECT_EQ(canonicalComparable(testing_support::unescaped(row[1]), header, ignoreCase),
                  testing_support::unescaped(row[2]))
            << line;
    }
}

TEST(CanonicalComparable, deeplyNestedJSONIsComparedAsText)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(canonicalComparable(deep, "data", false), deep);
}

TEST(CanonicalComparable, jsonLongerThanTheLimitIsComparedAsText)
{
    const auto arrayOfOneString = [](std::size_t bytes, std::string_view afterBracket) {
        const std::size_t letters = bytes - 4 - afterBracket.size();
        return "[" + std::string(afterBracket) + "\"" + std::string(letters, 'x') + "\"]";
    };
    const std::string compact = arrayOfOneString(maximumJSONComparisonBytes - 1, "");
    const std::string atLimit = arrayOfOneString(maximumJSONComparisonBytes, " ");
    ASSERT_EQ(atLimit.size(), maximumJSONComparisonBytes);
    EXPECT_EQ(canonicalComparable(atLimit, "data", false), compact);

    const std::string overLimit = arrayOfOneString(maximumJSONComparisonBytes + 1, "  ");
    EXPECT_EQ(canonicalComparable(overLimit, "data", false), overLimit);
    EXPECT_EQ(canonicalComparable("  " + atLimit + "  ", "data", false), compact) << "the limit applies after trimming";
}

TEST(CanonicalComparable, viewFormPointsIntoTheCellWhenNothingChanges)
{
    NormalizationBuffer buffer;
    const std::string cell = "plain text";
    const std::string_view form = canonicalComparable(cell, ColumnRules{}, false, buffer);
    EXPECT_EQ(form.data(), cell.data());
    EXPECT_EQ(form.size(), cell.size());
    const std::string padded = "  padded ";
    EXPECT_EQ(canonicalComparable(padded, ColumnRules{}, false, buffer).data(), padded.data() + 2);
}

// The spelling test stops at the first letter, mark or number outside ASCII. That is only sound if
// lower-casing such a scalar always leaves something no spelling entry contains, and if no other
// scalar outside ASCII lower-cases into a letter, mark or number.
TEST(CanonicalComparable, scalarsOutsideASCIINeverLowercaseIntoASpelling)
{
    const std::string entryAlphabet = "nulaitryesfodmc01";
    for (char32_t scalar = 0x80; scalar < 0x30000; ++scalar) {
        if (scalar >= 0xD800 && scalar < 0xE000)
            continue;
        std::string encoded;
        text::appendScalar(encoded, scalar);
        const std::string lower = text::lowercased(encoded);
        bool keptAny = false;
        bool rulesOutEveryEntry = false;
        for (std::size_t position = 0; position < lower.size();) {
            const char32_t part = text::nextScalar(lower, position);
            if (!text::isLetterMarkOrNumber(part))
                continue;
            keptAny = true;
            rulesOutEveryEntry |= part >= 0x80 || entryAlphabet.find(static_cast<char>(part)) == std::string::npos;
        }
        const auto code = static_cast<std::uint32_t>(scalar);
        if (text::isLetterMarkOrNumber(scalar))
            ASSERT_TRUE(rulesOutEveryEntry) << std::hex << code;
        else
            ASSERT_FALSE(keptAny) << std::hex << code;
    }
}

TEST(NormalizedKey, readsMissingCellsAndHeadersAsEmpty)
{
    const std::vector<std::string> headers{"ID", "Phone"};
    EXPECT_EQ(normalizedKey({"7", " 555-0100 "}, headers, {2, 0}, false), (std::vector<std::string>{"", "7"}));
    EXPECT_EQ(normalizedKey({"7", "555-0100"}, headers, {1, -1}, false), (std::vector<std::string>{"5550100", ""}));
    EXPECT_TRUE(normalizedKey({"7"}, headers, {}, false).empty());
}

TEST(NormalizedKey, appliesEachColumnsOwnRulesAndCase)
{
    const std::vector<std::string> headers{"Is Active", "Name", "Country"};
    EXPECT_EQ(normalizedKey({"Yes", "ABC", "U.S."}, headers, {0, 1, 2}, true),
              (std::vector<std::string>{"true", "abc", "unitedstates"}));
    EXPECT_EQ(normalizedKey({"Yes", "ABC", "U.S."}, headers, {1}, false), (std::vector<std::string>{"ABC"}));
}

}  // namespace
}  // namespace rowlark::compare
