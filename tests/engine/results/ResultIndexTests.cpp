#include "results/ResultIndex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>


namespace rowlark {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Row = std::vector<std::string>;

RowDifference onlyLeft(std::string key, Row left)
{
    return {Uuid::random(), std::move(key), DiffStatus::onlyLeft, std::move(left), std::nullopt, {}};
}

ResultIndex indexOf(std::vector<RowDifference> differences)
{
    ComparisonSummary summary;
    summary.differences = std::move(differences);
    return ResultIndex(summary);
}

TEST(ResultIndexSearch, LargeResultsKeepEachSearchTextWithItsDifference)
{
    std::vector<RowDifference> differences;
    for (int i = 0; i < 10'000; ++i)
        differences.push_back(onlyLeft("K" + std::to_string(i), {"V" + std::to_string(i)}));
    const ResultIndex index = indexOf(std::move(differences));
    ASSERT_EQ(index.searchable.size(), 10'000u);
    for (std::size_t i = 0; i < index.searchable.size(); ++i)
        ASSERT_EQ(index.searchable[i], "k" + std::to_string(i) + '\0' + "v" + std::to_string(i));
    EXPECT_THAT(index.matching(ResultFilter::onlyLeft, "v9999"), ElementsAre(9999));
}

TEST(ResultIndexSearch, FindsQueriesOfAnyLengthAtAnyOffset)
{
    const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const ResultIndex index = indexOf({onlyLeft(letters, {})});
    const std::string lower = "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz";
    for (std::size_t length = 1; length <= 40; ++length) {
        for (std::size_t offset = 0; offset + length <= lower.size(); ++offset) {
            const std::string query = lower.substr(offset, length);
            ASSERT_THAT(index.matching(ResultFilter::all, query), ElementsAre(0)) << query;
            std::string missing = query;
            missing.back() = missing.back() == '!' ? '?' : '!';
            ASSERT_THAT(index.matching(ResultFilter::all, missing), IsEmpty()) << missing;
        }
    }
}

}  // namespace
}  // namespace rowlark
