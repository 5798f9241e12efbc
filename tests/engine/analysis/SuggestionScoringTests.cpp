#include "engine/analysis/DataCompatibility.h"
#include "engine/analysis/ScoredSuggestions.h"
#include "engine/analysis/SharedValues.h"
#include "engine/analysis/SuggestionOrder.h"
#include "tests/engine/analysis/AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace rowlark::analysis {
namespace {

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
        std::vector<Candidate> candidates;
        std::istringstream words(fields[1]);
        for (std::string word; words >> word;)
            candidates.push_back({std::stod(word.substr(word.find(':') + 1)),
                                  static_cast<std::uint32_t>(std::stoul(word)), Reason::exact});
        orderCandidates(candidates, headerTextRanks(testing::listed(fields[0])));
        std::string order;
        for (const auto& candidate : candidates)
            order += (order.empty() ? "" : " ") + std::to_string(candidate.column);
        return order;
    });
}

TEST(SharedValues, AgreeWithPairwiseIntersection)
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

    const SharedValueIndex index(right);
    SharedValueCounts counts(index);
    // Reused from column to column, in an order that visits a counted column after an empty one.
    for (const std::size_t i : {4UL, 0UL, 5UL, 1UL, 2UL, 3UL, 6UL, 5UL}) {
        counts.countFor(left[i]);
        for (std::size_t j = 0; j < right.size(); ++j)
            EXPECT_DOUBLE_EQ(dataCompatibility(left[i], right[j], counts[j]).overlap,
                             dataCompatibility(left[i], right[j]).overlap)
                << i << ", " << j;
    }
}

TEST(SuggestionOrder, DoesNotDependOnTheInputOrder)
{
    // Scores 0.00005 apart chain into runs; every permutation must come out the same.
    std::vector<std::string> headers;
    std::vector<Candidate> candidates;
    for (std::uint32_t i = 0; i < 40; ++i) {
        headers.push_back(std::string(1, static_cast<char>('A' + (i * 7) % 26)));
        candidates.push_back({0.9 + 0.00005 * (i % 9) + (i % 13 == 0 ? 0.01 : 0), i, Reason::exact});
    }
    const std::vector<std::size_t> ranks = headerTextRanks(headers);
    std::vector<Candidate> reference = candidates;
    orderCandidates(reference, ranks);
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::shuffle(candidates.begin(), candidates.end(), random);
        std::vector<Candidate> ordered = candidates;
        orderCandidates(ordered, ranks);
        ASSERT_TRUE(std::ranges::equal(ordered, reference, {}, &Candidate::column, &Candidate::column))
            << "round " << round;
    }
}

}  // namespace
}  // namespace rowlark::analysis
