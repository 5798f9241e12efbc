#include "AnalysisTestSupport.h"
#include "analysis/DataCompatibility.h"
#include "analysis/ScoredSuggestions.h"
#include "analysis/SharedValueTable.h"
#include "analysis/SuggestionOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace rowlark::analysis::CSVComparator {
namespace {

using Suggestions = std::vector<records::HeaderSuggestion>;

using Inputs = std::vector<std::string>;

// A profile as the data files write it: kind, values (one letter each, "-" for none), unique ratio.
ColumnProfile profileFrom(const std::string& text)
{
    std::istringstream words(text);
    std::string kind;
    std::string values;
    double uniqueRatio = 0;
    words >> kind >> values >> uniqueRatio;
    const auto name = std::ranges::find(testing::kindNames, kind);
    ColumnProfile result{static_cast<ColumnKind>(name - std::begin(testing::kindNames)), {}, uniqueRatio};
    for (const char letter : values == "-" ? "" : values)
        result.values.emplace(1, letter);
    return result;
}

TEST(SuggestionScoring, ScoresTheColumnsOfTheDataFiles)
{
    rowlark::testing::expectCases("dataCompatibility.txt", [](const Inputs& fields) {
        const ColumnProfile left = profileFrom(fields[0]);
        const ColumnProfile right = profileFrom(fields[1]);
        const DataCompatibility result = dataCompatibility(left, right);
        EXPECT_EQ(dataCompatibility(right, left).overlap, result.overlap) << fields[0] << " reversed";
        return testing::scoreText(result.overlap) + " " + testing::scoreText(result.shape);
    });
    rowlark::testing::expectCases("scoredSuggestions.txt", [](const Inputs& fields) {
        std::vector<ColumnProfile> right;
        for (const auto& profile : fields[3].empty() ? Inputs() : testing::listed(fields[3]))
            right.push_back(profileFrom(profile));
        return testing::suggestionsText(
            scoredSuggestions(fields[0], testing::listed(fields[1]), profileFrom(fields[2]), right, std::nullopt));
    });
    rowlark::testing::expectCases("orderSuggestions.txt", [](const Inputs& fields) {
        Suggestions suggestions;
        std::istringstream words(fields[1]);
        for (std::string word; words >> word;)
            suggestions.push_back({std::stoll(word), std::stod(word.substr(word.find(':') + 1)), ""});
        orderSuggestions(suggestions, testing::listed(fields[0]));
        std::string order;
        for (const auto& suggestion : suggestions)
            order += (order.empty() ? "" : " ") + std::to_string(suggestion.rightIndex);
        return order;
    });
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
    left.push_back(profileFrom("boolean abcdef 1"));
    right.push_back(profileFrom("text abcdef 1"));

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
}  // namespace rowlark::analysis::CSVComparator
