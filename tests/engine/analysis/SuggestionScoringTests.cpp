#include "analysis/DataCompatibility.h"
#include "analysis/ScoredSuggestions.h"
#include "analysis/SharedValueTable.h"
#include "analysis/SuggestionOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace rowlark::CSVComparator {
namespace {

using Suggestions = std::vector<HeaderSuggestion>;

ColumnProfile profileOf(ColumnKind kind, std::vector<std::string> values, double uniqueRatio)
{
    return {kind, {values.begin(), values.end()}, uniqueRatio};
}

std::vector<std::string> letters(std::string_view from)
{
    std::vector<std::string> values;
    for (const char letter : from)
        values.emplace_back(1, letter);
    return values;
}

struct CompatibilityCase {
    std::string name;
    ColumnProfile left;
    ColumnProfile right;
    double overlap;
    double shape;
};

TEST(DataCompatibility, CombinesOverlapKindsAndUniqueness)
{
    const auto text = ColumnKind::text;
    const std::vector<CompatibilityCase> cases{
        {"eight of ten shared", profileOf(text, letters("abcdefghij"), 1), profileOf(text, letters("abcdefghxyz"), 1),
         0.8, 0.88 * 0.62 + 0.12 * 1},
        {"smaller set decides", profileOf(text, letters("abcde"), 1), profileOf(text, letters("abcdefghij"), 1), 1.0,
         0.88 * 0.62 + 0.12 * 1},
        {"four values are too few", profileOf(text, letters("abcd"), 1), profileOf(text, letters("abcd"), 1), 0,
         0.88 * 0.62 + 0.12 * 1},
        {"boolean never overlaps", profileOf(ColumnKind::boolean, letters("abcdef"), 1),
         profileOf(text, letters("abcdef"), 1), 0, 0.88 * 0.12 + 0.12 * 1},
        {"integer and decimal", profileOf(ColumnKind::integer, {}, 0.5), profileOf(ColumnKind::decimal, {}, 0.5), 0,
         0.88 * 0.82 + 0.12 * 1},
        {"same kind that is not text", profileOf(ColumnKind::date, {}, 1), profileOf(ColumnKind::date, {}, 0.25), 0,
         0.88 * 0.88 + 0.12 * (1 - 0.75)},
        {"both empty", ColumnProfile(), ColumnProfile(), 0, 0.88 * 0.55 + 0.12 * 1},
        {"one empty", ColumnProfile(), profileOf(ColumnKind::uuid, {}, 1), 0, 0.88 * 0.1 + 0.12 * 0},
        {"different kinds", profileOf(ColumnKind::email, {}, 1), profileOf(ColumnKind::phone, {}, 1), 0,
         0.88 * 0.12 + 0.12 * 1},
    };
    for (const auto& [name, left, right, overlap, shape] : cases) {
        const DataCompatibility result = dataCompatibility(left, right);
        EXPECT_DOUBLE_EQ(result.overlap, overlap) << name;
        EXPECT_DOUBLE_EQ(result.shape, shape) << name;
        const DataCompatibility reversed = dataCompatibility(right, left);
        EXPECT_DOUBLE_EQ(reversed.overlap, overlap) << name << " reversed";
    }
}

TEST(SharedValueTable, AgreesWithPairwiseIntersection)
{
    std::mt19937 random(11);
    const auto randomProfile = [&](std::size_t size) {
        ColumnProfile result{ColumnKind::text, {}, 1};
        while (result.values.size() < size)
            result.values.insert("v" + std::to_string(random() % 60));
        return result;
    };
    std::vector<ColumnProfile> left;
    std::vector<ColumnProfile> right;
    for (std::size_t size : {0, 3, 5, 8, 20, 40})
        left.push_back(randomProfile(size));
    for (std::size_t size : {4, 6, 10, 30, 50})
        right.push_back(randomProfile(size));
    left.push_back(profileOf(ColumnKind::boolean, letters("abcdef"), 1));
    right.push_back(profileOf(ColumnKind::text, letters("abcdef"), 1));

    const SharedValueTable table(left, right);
    for (std::size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(table.row(i).size(), right.size());
        for (std::size_t j = 0; j < right.size(); ++j)
            EXPECT_DOUBLE_EQ(dataCompatibility(left[i], right[j], table.row(i)[j]).overlap,
                             dataCompatibility(left[i], right[j]).overlap)
                << i << ", " << j;
    }
    EXPECT_TRUE(table.row(left.size()).empty());
    EXPECT_TRUE(SharedValueTable(left, {}).row(0).empty());
}

TEST(ScoredSuggestions, DataHalfStrengthensOrReplacesHeaderMatches)
{
    const auto integer = profileOf(ColumnKind::integer, {}, 1);
    const auto decimal = profileOf(ColumnKind::decimal, {}, 1);
    const auto shared = profileOf(ColumnKind::text, letters("abcdefghij"), 1);
    const auto mostlyShared = profileOf(ColumnKind::text, letters("abcdefghxy"), 1);
    const double integerShape = 0.88 * 0.88 + 0.12;
    const double textShape = 0.88 * 0.62 + 0.12;

    // A symbol-only header has no header suggestions, but shared values still pair it.
    EXPECT_EQ(scoredSuggestions("#", {"Code"}, shared, {mostlyShared}, std::nullopt),
              Suggestions({{0, 0.91 + 0.09 * 0.8, "Values overlap"}}));
    EXPECT_EQ(scoredSuggestions("Code", {"Code"}, shared, {mostlyShared}, std::nullopt),
              Suggestions({{0, 1.0, "Values overlap"}}));
    const auto numbers = scoredSuggestions("Amount", {"Total"}, integer, {decimal}, std::nullopt);
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_EQ(numbers[0].reason, "Matching data type");
    EXPECT_NEAR(numbers[0].score, 0.606, 0.0005);
    EXPECT_DOUBLE_EQ(numbers[0].score, 0.72 * (0.88 * 0.82 + 0.12));

    const double similarName = 0.82 * (1 - 1.0 / 7);
    EXPECT_EQ(scoredSuggestions("Adress", {"Address"}, integer, {integer}, std::nullopt),
              Suggestions({{0, 0.88 * similarName + 0.12 * integerShape, "Similar name + data type"}}));
    EXPECT_EQ(scoredSuggestions("Adress", {"Address"}, shared, {profileOf(ColumnKind::text, letters("vwxyz"), 1)},
                                std::nullopt),
              Suggestions({{0, 0.88 * similarName + 0.12 * textShape, "Similar name"}}));
    // Header scores of 0.9 and more keep their reason even with matching kinds.
    EXPECT_EQ(scoredSuggestions("Telephone", {"Phone"}, integer, {integer}, std::nullopt),
              Suggestions({{0, 0.88 * 0.91 + 0.12 * integerShape, "Known alias"}}));
}

TEST(ScoredSuggestions, WeakCandidatesAreLeftOut)
{
    const auto text = profileOf(ColumnKind::text, letters("abcdef"), 1);
    const auto other = profileOf(ColumnKind::text, letters("uvwxyz"), 1);
    // Different kinds and no header match: shape 0.88 × 0.12 + 0.12 stays far below the cut-off.
    EXPECT_TRUE(scoredSuggestions("Name", {"Notes"}, profileOf(ColumnKind::email, {}, 1),
                                  {profileOf(ColumnKind::date, {}, 1)}, std::nullopt)
                    .empty());
    EXPECT_TRUE(scoredSuggestions("Name", {"Remarks"}, text, {other}, std::nullopt).empty());
}

TEST(ScoredSuggestions, MissingRightProfilesCountAsEmptyColumns)
{
    const double emptyShape = 0.88 * 0.55 + 0.12;
    EXPECT_EQ(
        scoredSuggestions("Phone", {"Phone", "Mobile"}, ColumnProfile(), {}, std::nullopt),
        Suggestions({{0, 0.88 + 0.12 * emptyShape, "Exact"}, {1, 0.88 * 0.91 + 0.12 * emptyShape, "Known alias"}}));
}

struct OrderCase {
    std::string name;
    std::vector<std::string> headers;
    Suggestions input;
    std::vector<std::int64_t> expectedOrder;
};

std::vector<std::int64_t> rightIndices(const Suggestions& suggestions)
{
    std::vector<std::int64_t> indices;
    for (const auto& suggestion : suggestions)
        indices.push_back(suggestion.rightIndex);
    return indices;
}

TEST(SuggestionOrder, TiesWithinTheBandGoByHeaderText)
{
    const std::vector<OrderCase> cases{
        {"higher score first", {"A", "B"}, {{0, 0.5, ""}, {1, 0.9, ""}}, {1, 0}},
        {"0.90004 and 0.9 are tied", {"B", "A"}, {{0, 0.90004, ""}, {1, 0.9, ""}}, {1, 0}},
        {"0.9002 and 0.9 are not", {"B", "A"}, {{1, 0.9, ""}, {0, 0.9002, ""}}, {0, 1}},
        {"scalar order, not dictionary order",
         {"a", "Z", "\u00E4"},
         {{0, 0.7, ""}, {1, 0.7, ""}, {2, 0.7, ""}},
         {1, 0, 2}},
        {"texts compared in NFC", {"B", "A\u0308"}, {{1, 0.7, ""}, {0, 0.7, ""}}, {0, 1}},
        {"equal texts keep column order",
         {"caf\u00E9", "cafe\u0301", "Caf"},
         {{1, 0.7, ""}, {0, 0.7, ""}, {2, 0.7, ""}},
         {2, 0, 1}},
        {"unknown columns last in their run", {"B"}, {{7, 0.7, ""}, {0, 0.7, ""}, {-1, 0.7, ""}}, {0, -1, 7}},
        // Each score lies within the band of the next, so the whole stretch is one run ordered by
        // text, although 0.90016 and 0.9 alone would not tie.
        {"chained band",
         {"C", "B", "A", "Z", "Y"},
         {{0, 0.90016, ""}, {3, 0.95, ""}, {1, 0.90008, ""}, {4, 0.5, ""}, {2, 0.9, ""}},
         {3, 2, 1, 0, 4}},
    };
    for (const auto& [name, headers, input, expectedOrder] : cases) {
        Suggestions ordered = input;
        orderSuggestions(ordered, headers);
        EXPECT_EQ(rightIndices(ordered), expectedOrder) << name;
    }
}

TEST(SuggestionOrder, DoesNotDependOnTheInputOrder)
{
    // Scores 0.00005 apart chain into runs; every permutation must come out the same.
    std::vector<std::string> headers;
    Suggestions suggestions;
    for (int i = 0; i < 40; ++i) {
        headers.push_back(std::string(1, static_cast<char>('A' + (i * 7) % 26)));
        suggestions.push_back({i, 0.9 + 0.00005 * (i % 9) + (i % 13 == 0 ? 0.01 : 0), ""});
    }
    Suggestions reference = suggestions;
    orderSuggestions(reference, headers);
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::shuffle(suggestions.begin(), suggestions.end(), random);
        Suggestions ordered = suggestions;
        orderSuggestions(ordered, headers);
        ASSERT_EQ(ordered, reference) << "round " << round;
    }
}

}  // namespace
}  // namespace rowlark::CSVComparator
