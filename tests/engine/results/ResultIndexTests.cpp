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

RowDifference changed(std::string key, Row left, Row right, std::vector<CellDifference> cells)
{
    return {Uuid::random(),  std::move(key),   DiffStatus::changed,
            std::move(left), std::move(right), std::move(cells)};
}

RowDifference onlyLeft(std::string key, Row left)
{
    return {Uuid::random(), std::move(key), DiffStatus::onlyLeft, std::move(left), std::nullopt, {}};
}

RowDifference onlyRight(std::string key, Row right)
{
    return {Uuid::random(), std::move(key), DiffStatus::onlyRight, std::nullopt, std::move(right), {}};
}

CellDifference cell(std::string leftValue, std::string rightValue)
{
    return {Uuid::random(), "value", "value", std::move(leftValue), std::move(rightValue)};
}

ResultIndex indexOf(std::vector<RowDifference> differences)
{
    ComparisonSummary summary;
    summary.differences = std::move(differences);
    return ResultIndex(summary);
}

// Positions of a one-difference index that the query finds.
Positions search(RowDifference difference, std::string_view query)
{
    std::vector<RowDifference> differences;
    differences.push_back(std::move(difference));
    return indexOf(std::move(differences)).matching(ResultFilter::all, query);
}

TEST(ResultIndexGroups, EmptySummaryHasNoGroupsAndMatchesNothing)
{
    const ResultIndex index = indexOf({});
    EXPECT_THAT(index.searchable, IsEmpty());
    EXPECT_THAT(index.groups, IsEmpty());
    for (const ResultFilter filter : allResultFilters) {
        EXPECT_THAT(index.matching(filter, ""), IsEmpty());
        EXPECT_THAT(index.matching(filter, "a"), IsEmpty());
    }
}

TEST(ResultIndexGroups, EachStatusHasItsGroupAndAllHoldsEveryPosition)
{
    const ResultIndex index = indexOf({onlyLeft("1", {"a"}), changed("2", {"b"}, {"c"}, {cell("b", "c")}),
                                       onlyRight("3", {"d"}), changed("4", {"e"}, {"f"}, {cell("e", "f")})});
    EXPECT_THAT(index.positions(ResultFilter::all), ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(index.positions(ResultFilter::changed), ElementsAre(1, 3));
    EXPECT_THAT(index.positions(ResultFilter::onlyLeft), ElementsAre(0));
    EXPECT_THAT(index.positions(ResultFilter::onlyRight), ElementsAre(2));
    EXPECT_FALSE(index.groups.contains(ResultFilter::emptyValues));
    EXPECT_THAT(index.matching(ResultFilter::emptyValues, ""), IsEmpty());
    EXPECT_EQ(index.searchable.size(), 4u);
}

struct EmptyValueCase {
    const char* name;
    RowDifference difference;
    bool isEmptyValue;
};

TEST(ResultIndexGroups, EmptyValuesAreJudgedOnValuesAsRead)
{
    const std::vector<EmptyValueCase> cases = {
        {"value becomes two spaces", changed("k", {"x"}, {"  "}, {cell("x", "  ")}), true},
        {"value was empty", changed("k", {""}, {"x"}, {cell("", "x")}), true},
        {"line break and no-break space only", changed("k", {}, {}, {cell("\r\n\u00A0", "x")}), true},
        {"later cell is empty", changed("k", {}, {}, {cell("a", "b"), cell("c", "\t")}), true},
        {"NULL is not empty as read", changed("k", {"NULL"}, {"x"}, {cell("NULL", "x")}), false},
        {"zero-width space is not white space", changed("k", {}, {}, {cell("\u200B", "x")}), false},
        {"one-sided record with empty cells", onlyLeft("k", {"", " "}), false},
    };
    for (const EmptyValueCase& emptyCase : cases) {
        const ResultIndex index = indexOf({emptyCase.difference});
        EXPECT_EQ(index.positions(ResultFilter::emptyValues).size(), emptyCase.isEmptyValue ? 1u : 0u)
            << emptyCase.name;
    }
}

struct SearchCase {
    const char* name;
    const char* query;
    bool isFound;
};

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

TEST(ResultIndexSearch, FindsWholePiecesButNeverAcrossThem)
{
    const RowDifference difference = changed("abc • 7", {"Anna", "Smith", "Berlin"},
                                             {"Anna", "Smithson", "Köln"}, {cell("Smith", "Smithson")});
    const std::vector<SearchCase> cases = {
        {"trimmed and lower-cased", " SMITH\n", true},
        {"inside a right cell", "thso", true},
        {"key display form", "ABC • 7", true},
        {"non-ASCII letters lower-cased", "KÖLN", true},
        {"end of one cell and start of the next", "annasmith", false},
        {"across the separator written as a space", "anna smith", false},
        {"key and first cell", "7anna", false},
        {"spaces inside the query match literally", "smi th", false},
        {"headers are not searchable", "value", false},
    };
    for (const SearchCase& searchCase : cases)
        EXPECT_EQ(search(difference, searchCase.query).size(), searchCase.isFound ? 1u : 0u)
            << searchCase.name;
}

TEST(ResultIndexSearch, QueryHoldingTheSeparatorMatchesNothing)
{
    const RowDifference difference = onlyLeft("k", {"anna", "smith"});
    EXPECT_THAT(search(difference, std::string_view("anna\0smith", 10)), IsEmpty());
    EXPECT_THAT(search(difference, std::string_view("\0", 1)), IsEmpty());
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

TEST(ResultIndexSearch, ColumnsThatWereNotComparedAreSearchable)
{
    // Only the first column differs; the note was never compared.
    const RowDifference difference =
        changed("1", {"a", "shipped late"}, {"b", "shipped late", "extra"}, {cell("a", "b")});
    EXPECT_THAT(search(difference, "LATE"), ElementsAre(0));
    EXPECT_THAT(search(difference, "extra"), ElementsAre(0));
}

TEST(ResultIndexSearch, CanonicallyEquivalentSpellingsFindEachOther)
{
    EXPECT_THAT(search(onlyLeft("k", {"Cafe\u0301"}), "caf\u00E9"), ElementsAre(0));
    EXPECT_THAT(search(onlyLeft("k", {"Caf\u00E9"}), "CAFE\u0301"), ElementsAre(0));
    // A base letter alone does not match the accented letter.
    EXPECT_THAT(search(onlyLeft("k", {"caf\u00E9"}), "cafe"), IsEmpty());
}

TEST(ResultIndexSearch, BlankQueryReturnsTheWholeGroup)
{
    const ResultIndex index = indexOf({onlyLeft("1", {"a"}), onlyRight("2", {"b"}), onlyLeft("3", {"c"})});
    EXPECT_THAT(index.matching(ResultFilter::onlyLeft, "   "), ElementsAre(0, 2));
    EXPECT_THAT(index.matching(ResultFilter::all, " \t\n"), ElementsAre(0, 1, 2));
}

TEST(ResultIndexSearch, SearchStaysInsideTheFilterGroupInOrder)
{
    const ResultIndex index = indexOf({onlyLeft("1", {"red"}), onlyRight("2", {"red"}),
                                       onlyLeft("3", {"blue"}), onlyLeft("4", {"reddish"})});
    EXPECT_THAT(index.matching(ResultFilter::onlyLeft, "red"), ElementsAre(0, 3));
    EXPECT_THAT(index.matching(ResultFilter::changed, "red"), IsEmpty());
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
