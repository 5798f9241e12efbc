#include "results/ResultIndex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <numeric>

namespace rowlark {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Positions = std::vector<std::size_t>;
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

TEST(ResultIndexPaging, SlicesFullAndPartialPages)
{
    Positions positions(250);
    std::iota(positions.begin(), positions.end(), 0);
    const Positions first = ResultIndex::page(positions, 0, 100);
    ASSERT_EQ(first.size(), 100u);
    EXPECT_EQ(first.front(), 0u);
    EXPECT_EQ(ResultIndex::page(positions, 1, 100).front(), 100u);
    const Positions last = ResultIndex::page(positions, 2, 100);
    ASSERT_EQ(last.size(), 50u);
    EXPECT_EQ(last.back(), 249u);
    EXPECT_THAT(ResultIndex::page(positions, 3, 100), IsEmpty());
    EXPECT_THAT(ResultIndex::page(positions, -1, 100), IsEmpty());
    EXPECT_THAT(ResultIndex::page({}, 0, 100), IsEmpty());
}

TEST(ResultIndexPaging, InvalidAndOverflowingRequestsGiveEmptyPages)
{
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const Positions positions = {4, 8, 15};
    const std::vector<std::pair<std::int64_t, std::int64_t>> empty = {
        {0, 0},
        {0, -5},
        {-1, 1},
        {std::numeric_limits<std::int64_t>::min(), 2},
        {largest, 2},
        {largest / 2 + 1, 2},
        {2, largest},
        {1, largest},
        {largest, largest},
        {3, 1}};
    for (const auto& [number, size] : empty)
        EXPECT_THAT(ResultIndex::page(positions, number, size), IsEmpty()) << number << " × " << size;
    EXPECT_THAT(ResultIndex::page(positions, 0, largest), ElementsAre(4, 8, 15));
    EXPECT_THAT(ResultIndex::page(positions, 2, 1), ElementsAre(15));
}

}  // namespace
}  // namespace rowlark
