#include "compare/RecordMatching.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "ComparisonTestSupport.h"

namespace rowlark::CSVComparator {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::describe;
using testing_support::mapping;
using testing_support::Rows;

const std::vector<std::string> idAndValue{"ID", "Value"};

// Column 0 is the key, column 1 is compared.
std::vector<ColumnMapping> keyAndValue() { return {mapping(0, 0, true), mapping(1, 1)}; }

ComparisonSummary compareRows(const Rows& left, const Rows& right, bool ignoreCase = false)
{
    return compare(CSVTable::fromRows(idAndValue, left), CSVTable::fromRows(idAndValue, right), keyAndValue(),
                   ignoreCase);
}

TEST(Compare, sameRecordsInAnotherOrderMatch)
{
    const auto summary = compareRows({{"1", "a"}, {"2", "b"}, {"3", "c"}}, {{"3", "c"}, {"1", "a"}, {"2", "b"}});
    EXPECT_THAT(summary.differences, IsEmpty());
    EXPECT_EQ(summary.matchingRows, 3);
    EXPECT_EQ(summary.leftRows, 3);
    EXPECT_EQ(summary.rightRows, 3);
    EXPECT_EQ(summary.ambiguousDuplicateKeyGroups, 0);
}

TEST(Compare, recordsOnOneSideOnly)
{
    const auto summary = compareRows({{"1", "a"}, {"2", "b"}}, {{"3", "c"}, {"1", "a"}});
    EXPECT_THAT(describe(summary), ElementsAre("Only in File A [2] L:2|b|", "Only in File B [3] R:3|c|"));
    EXPECT_THAT(summary.differences[0].cells, IsEmpty());
    EXPECT_FALSE(summary.differences[0].rightRow);
    EXPECT_FALSE(summary.differences[1].leftRow);
}

TEST(Compare, changedRecordListsItsDifferingFieldsAsRead)
{
    const auto summary = compareRows({{"7", " x"}}, {{"7", "y "}});
    EXPECT_THAT(describe(summary), ElementsAre("Changed [7] L:7| x| R:7|y | {Value/Value:  x -> y }"));
    EXPECT_EQ(summary.ambiguousDuplicateKeyGroups, 0);
}

TEST(Compare, everyDifferenceAndCellHasItsOwnId)
{
    const auto summary = compareRows({{"1", "a"}, {"2", "b"}}, {{"1", "z"}, {"3", "c"}});
    std::set<Uuid> ids;
    for (const auto& difference : summary.differences) {
        ids.insert(difference.id);
        for (const auto& cell : difference.cells)
            ids.insert(cell.id);
    }
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_FALSE(ids.contains(Uuid()));
}

struct DuplicateCase {
    std::string name;
    Rows left;
    Rows right;
    std::vector<std::string> expected;
    std::int64_t matchingRows;
    std::int64_t ambiguousGroups;
};

class DuplicateKeys : public testing::TestWithParam<DuplicateCase> {};

TEST_P(DuplicateKeys, pairIdenticalRecordsFirstThenBySignature)
{
    const auto& c = GetParam();
    const auto summary = compareRows(c.left, c.right);
    EXPECT_EQ(describe(summary), c.expected);
    EXPECT_EQ(summary.matchingRows, c.matchingRows);
    EXPECT_EQ(summary.ambiguousDuplicateKeyGroups, c.ambiguousGroups);
}

INSTANTIATE_TEST_SUITE_P(
    Compare, DuplicateKeys,
    testing::Values(
        DuplicateCase{"exactPairLeavesTheOtherRow", {{"7", "x"}, {"7", "y"}}, {{"7", "x"}},
                      {"Only in File A [7] L:7|y|"}, 1, 0},
        DuplicateCase{"guessedPairTakesTheFirstSignature", {{"7", "y"}, {"7", "x"}}, {{"7", "z"}},
                      {"Changed [7] L:7|x| R:7|z| {Value/Value: x -> z}", "Only in File A [7] L:7|y|"}, 0, 1},
        DuplicateCase{"oneEachIsNotAmbiguous", {{"7", "x"}}, {{"7", "z"}},
                      {"Changed [7] L:7|x| R:7|z| {Value/Value: x -> z}"}, 0, 0},
        DuplicateCase{"identicalRowsBeyondThePairsAreOnlyOnOneSide",
                      {{"7", "x"}, {"7", "x"}, {"7", "x"}},
                      {{"7", "x"}},
                      {"Only in File A [7] L:7|x|", "Only in File A [7] L:7|x|"}, 1, 0},
        DuplicateCase{"leftoversOnOneSideAreOrderedBySignature", {{"7", "c"}, {"7", "a"}, {"7", "b"}}, {},
                      {"Only in File A [7] L:7|a|", "Only in File A [7] L:7|b|", "Only in File A [7] L:7|c|"}, 0, 0},
        DuplicateCase{"exactPairsFirstThenTheRestInSignatureOrder",
                      {{"7", "y"}, {"7", "x"}, {"7", "x"}},
                      {{"7", "z"}, {"7", "x"}},
                      {"Changed [7] L:7|x| R:7|z| {Value/Value: x -> z}", "Only in File A [7] L:7|y|"}, 1, 1},
        DuplicateCase{"moreLeftoversOnTheRight",
                      {{"7", "m"}},
                      {{"7", "q"}, {"7", "p"}},
                      {"Changed [7] L:7|m| R:7|p| {Value/Value: m -> p}", "Only in File B [7] R:7|q|"}, 0, 1},
        DuplicateCase{"groupsAreCountedOncePerKey",
                      {{"1", "a"}, {"1", "b"}, {"2", "a"}, {"2", "b"}},
                      {{"1", "c"}, {"2", "c"}, {"2", "d"}},
                      {"Changed [1] L:1|a| R:1|c| {Value/Value: a -> c}", "Only in File A [1] L:1|b|",
                       "Changed [2] L:2|a| R:2|c| {Value/Value: a -> c}",
                       "Changed [2] L:2|b| R:2|d| {Value/Value: b -> d}"},
                      0, 2}),
    [](const auto& info) { return info.param.name; });

TEST(Compare, identicalLeftoversKeepFileOrder)
{
    const std::vector<std::string> headers{"ID", "Value", "Note"};
    const auto left = CSVTable::fromRows(headers, {{"7", "x", "first"}, {"7", "x", "second"}, {"7", "x", "third"}});
    const auto right = CSVTable::fromRows(headers, {{"7", "x", "other"}});
    const auto summary = compare(left, right, keyAndValue(), false);
    EXPECT_THAT(describe(summary),
                ElementsAre("Only in File A [7] L:7|x|second|", "Only in File A [7] L:7|x|third|"));
}

TEST(Compare, keysSortByScalarsWithPrefixesFirst)
{
    const auto summary =
        compareRows({{"b", "1"}, {"\u00e9", "1"}, {"ab", "1"}, {"a", "1"}}, {{"Z", "1"}, {"e\u0301", "2"}, {"", "1"}, {"\u00c9", "1"}});
    EXPECT_THAT(describe(summary),
                ElementsAre("Only in File B [] R:|1|", "Only in File B [Z] R:Z|1|", "Only in File A [a] L:a|1|",
                            "Only in File A [ab] L:ab|1|", "Only in File A [b] L:b|1|",
                            "Only in File B [\u00c9] R:\u00c9|1|",
                            "Changed [\u00e9] L:\u00e9|1| R:e\u0301|2| {Value/Value: 1 -> 2}"));
}

TEST(Compare, longKeysSharingTheirStartStayDistinct)
{
    const auto summary = compareRows({{"customer-number-0001", "a"}, {"customer-number-0002", "b"}},
                                     {{"customer-number-0003", "a"}, {"customer-number-0002", "b"}});
    EXPECT_THAT(describe(summary), ElementsAre("Only in File A [customer-number-0001] L:customer-number-0001|a|",
                                               "Only in File B [customer-number-0003] R:customer-number-0003|a|"));
    EXPECT_EQ(summary.matchingRows, 1);
}

TEST(Compare, zeroBytesInKeysKeepPrefixesFirst)
{
    const std::string withZero("a\0", 2);
    const std::string withZeroThenB("a\0b", 3);
    const auto summary = compareRows({{withZeroThenB, "1"}, {"a", "1"}, {withZero, "1"}}, {{"a", "1"}});
    ASSERT_EQ(summary.differences.size(), 2u);
    EXPECT_EQ(summary.differences[0].key, withZero);
    EXPECT_EQ(summary.differences[1].key, withZeroThenB);
}

TEST(Compare, compositeKeysCompareEntryByEntry)
{
    const std::vector<std::string> headers{"A", "B"};
    const auto left = CSVTable::fromRows(headers, {{"ab", ""}, {"a", "b"}, {"a", ""}});
    const auto summary =
        compare(left, CSVTable::fromRows(headers, {}), {mapping(0, 0, true), mapping(1, 1, true)}, false);
    EXPECT_THAT(describe(summary), ElementsAre("Only in File A [a \u2022 ] L:a||", "Only in File A [a \u2022 b] L:a|b|",
                                               "Only in File A [ab \u2022 ] L:ab||"));
}

TEST(Compare, withinAKeyChangedComesBeforeOneSidedRecords)
{
    const auto summary = compareRows({{"1", "b"}, {"1", "a"}, {"2", "x"}}, {{"2", "y"}, {"1", "c"}});
    EXPECT_THAT(describe(summary), ElementsAre("Changed [1] L:1|a| R:1|c| {Value/Value: a -> c}",
                                               "Only in File A [1] L:1|b|",
                                               "Changed [2] L:2|x| R:2|y| {Value/Value: x -> y}"));
}

TEST(Compare, keysAreTrimmedAndDisplayedInComparableForm)
{
    const auto summary = compareRows({{" 42 ", "a"}}, {{"42", "b"}});
    ASSERT_EQ(summary.differences.size(), 1u);
    EXPECT_EQ(summary.differences[0].key, "42");
    EXPECT_EQ((*summary.differences[0].leftRow)[0], " 42 ");
}

TEST(Compare, ignoringCaseMatchesKeysAndValues)
{
    EXPECT_EQ(compareRows({{"ABC", "Smith"}}, {{"abc", "smith"}}, true).matchingRows, 1);
    const auto summary = compareRows({{"ABC", "Smith"}}, {{"abc", "smith"}}, false);
    EXPECT_THAT(describe(summary), ElementsAre("Only in File A [ABC] L:ABC|Smith|", "Only in File B [abc] R:abc|smith|"));
    const auto changed = compareRows({{"ABC", "Smith"}}, {{"abc", "Jones"}}, true);
    ASSERT_EQ(changed.differences.size(), 1u);
    EXPECT_EQ(changed.differences[0].key, "abc");
}

TEST(Compare, emptyKeysMatchLikeAnyOtherKey)
{
    const auto summary = compareRows({{"", "a"}, {"NULL", "b"}}, {{" ", "b"}, {"n/a", "a"}});
    EXPECT_THAT(summary.differences, IsEmpty());
    EXPECT_EQ(summary.matchingRows, 2);
}

TEST(Compare, withoutAKeyColumnTheFirstComparedColumnIsTheKey)
{
    const std::vector<std::string> headers{"Unused", "Name", "Value"};
    const auto left = CSVTable::fromRows(headers, {{"p", "ann", "1"}, {"q", "bob", "2"}});
    const auto right = CSVTable::fromRows(headers, {{"r", "bob", "3"}, {"s", "ann", "1"}});
    const auto summary = compare(left, right, {mapping(0, 0, false, false), mapping(1, 1), mapping(2, 2)}, false);
    EXPECT_THAT(describe(summary), ElementsAre("Changed [bob] L:q|bob|2| R:r|bob|3| {Value/Value: 2 -> 3}"));
    EXPECT_EQ(summary.matchingRows, 1);
}

TEST(Compare, withoutActiveMappingsSurplusRowsOfTheLongerFileAreOneSided)
{
    const auto left = CSVTable::fromRows(idAndValue, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    const auto right = CSVTable::fromRows(idAndValue, {{"9", "z"}});
    const std::vector<std::vector<ColumnMapping>> inactive{
        {}, {mapping(0, std::nullopt, true), mapping(1, 1, false, false)}};
    for (const auto& mappings : inactive) {
        const auto summary = compare(left, right, mappings, false);
        EXPECT_EQ(summary.matchingRows, 1);
        EXPECT_THAT(describe(summary), ElementsAre("Only in File A [] L:2|b|", "Only in File A [] L:3|c|"));
    }
}

TEST(Compare, emptyTablesMakeEveryOtherRowOneSided)
{
    const auto summary = compareRows({}, {{"1", "a"}, {"2", "b"}});
    EXPECT_THAT(describe(summary), ElementsAre("Only in File B [1] R:1|a|", "Only in File B [2] R:2|b|"));
    EXPECT_EQ(summary.leftRows, 0);
    EXPECT_THAT(compareRows({}, {}).differences, IsEmpty());
}

TEST(Compare, shortRowsReadAsEmptyCells)
{
    const std::vector<std::string> headers{"ID", "Name", "Notes"};
    const auto left = CSVTable::fromRows(headers, {{"1"}, {"2", "bob"}});
    const auto right = CSVTable::fromRows(headers, {{"1", "ann", "x"}, {"2", "bob"}});
    const auto summary = compare(left, right, {mapping(0, 0, true), mapping(1, 1), mapping(2, 2)}, false);
    EXPECT_THAT(describe(summary),
                ElementsAre("Changed [1] L:1||| R:1|ann|x| {Name/Name:  -> ann} {Notes/Notes:  -> x}"));
    EXPECT_EQ(summary.matchingRows, 1);
}

TEST(Compare, uncheckedColumnsAreNeverCompared)
{
    const std::vector<std::string> headers{"ID", "Name", "Notes"};
    const auto left = CSVTable::fromRows(headers, {{"1", "ann", "old"}});
    const auto right = CSVTable::fromRows(headers, {{"1", "ann", "new"}});
    const auto summary = compare(left, right, {mapping(0, 0, true), mapping(1, 1), mapping(2, 2, false, false)}, false);
    EXPECT_THAT(summary.differences, IsEmpty());
    EXPECT_EQ(summary.matchingRows, 1);
}

TEST(Compare, keyColumnsAreComparedEvenWhenUnchecked)
{
    const auto summary = compare(CSVTable::fromRows(idAndValue, {{"1", "a"}}), CSVTable::fromRows(idAndValue, {{"2", "a"}}),
                                 {mapping(0, 0, true, false), mapping(1, 1)}, false);
    EXPECT_THAT(describe(summary), ElementsAre("Only in File A [1] L:1|a|", "Only in File B [2] R:2|a|"));
}

TEST(Compare, cellsFollowMappingOrderWithEachSidesHeaders)
{
    const auto left = CSVTable::fromRows({"ID", "First", "Last"}, {{"1", "Ann", "Lee"}});
    const auto right = CSVTable::fromRows({"Surname", "Key", "Given"}, {{"Li", "1", "Anne"}});
    const auto summary = compare(left, right, {mapping(2, 0), mapping(0, 1, true), mapping(1, 2)}, false);
    EXPECT_THAT(describe(summary),
                ElementsAre("Changed [1] L:1|Ann|Lee| R:Li|1|Anne| {Last/Surname: Lee -> Li} {First/Given: Ann -> Anne}"));
}

TEST(Compare, eachSideIsNormalizedWithItsOwnHeader)
{
    const auto left = CSVTable::fromRows({"ID", "Active"}, {{"1", "yes"}, {"2", "yes"}});
    const auto right = CSVTable::fromRows({"ID", "Enabled"}, {{"1", "TRUE"}, {"2", "true"}});
    const auto summary = compare(left, right, {mapping(0, 0, true), mapping(1, 1)}, false);
    EXPECT_THAT(describe(summary), ElementsAre("Changed [1] L:1|yes| R:1|TRUE| {Active/Enabled: yes -> TRUE}"));
    EXPECT_EQ(summary.matchingRows, 1);
}

TEST(Compare, formattingNoiseIsAbsorbed)
{
    const std::vector<std::string> headers{"ID", "Is Member", "Phone", "Country", "Data", "Name"};
    const auto left = CSVTable::fromRows(headers, {{"1", "Yes", "(555) 010-9999", "USA", "{\"a\":1,\"b\":[2]}", "Caf\u00e9"}});
    const auto right =
        CSVTable::fromRows(headers, {{" 1", "true", "555.010.9999", "United States", "{ \"b\": [2], \"a\": 1 }", "Cafe\u0301 "}});
    std::vector<ColumnMapping> mappings{mapping(0, 0, true)};
    for (std::int64_t column = 1; column < 6; ++column)
        mappings.push_back(mapping(column, column));
    EXPECT_EQ(compare(left, right, mappings, false).matchingRows, 1);
}

TEST(Compare, mappingIndexOutsideItsTableIsAnError)
{
    const auto table = CSVTable::fromRows(idAndValue, {{"1", "a"}});
    EXPECT_THROW(compare(table, table, {mapping(0, 0, true), mapping(2, 1)}, false), InvalidMappingError);
    EXPECT_THROW(compare(table, table, {mapping(0, 0, true), mapping(1, 5)}, false), InvalidMappingError);
    EXPECT_THROW(compare(table, table, {mapping(-1, 0, true)}, false), InvalidMappingError);
    try {
        compare(table, table, {mapping(0, 2, true)}, false);
        FAIL();
    } catch (const InvalidMappingError& error) {
        EXPECT_STREQ(error.what(), "The column mapping does not fit File B: it names column index 2, but the file has 2 columns.");
    }
}

TEST(Compare, inactiveMappingsAreNotChecked)
{
    const auto table = CSVTable::fromRows(idAndValue, {{"1", "a"}});
    const auto summary = compare(table, table, {mapping(0, 0, true), mapping(9, std::nullopt), mapping(1, 7, false, false)}, false);
    EXPECT_EQ(summary.matchingRows, 1);
}

// More cells than a chunk of two-byte codes can number, each with a form of its own (trimmed), so
// the codes past 65,535 must still find their forms.
TEST(Compare, tablesTooWideForTwoByteCodesCompareEveryColumn)
{
    constexpr std::size_t width = 70'000;
    std::vector<std::string> headers;
    std::vector<ColumnMapping> mappings;
    Rows padded(2);
    Rows plain(2);
    for (std::size_t column = 0; column < width; ++column) {
        headers.push_back("C" + std::to_string(column));
        mappings.push_back(mapping(static_cast<std::int64_t>(column), static_cast<std::int64_t>(column), column == 0));
        for (std::size_t row = 0; row < 2; ++row) {
            const std::string value = std::to_string(row) + "v" + std::to_string(column);
            padded[row].push_back(" " + value + " ");
            plain[row].push_back(value);
        }
    }
    plain[1].back() = "changed";
    const auto summary =
        compare(CSVTable::fromRows(headers, padded), CSVTable::fromRows(headers, plain), mappings, false);
    EXPECT_EQ(summary.matchingRows, 1);
    ASSERT_EQ(summary.differences.size(), 1u);
    ASSERT_EQ(summary.differences[0].cells.size(), 1u);
    EXPECT_EQ(summary.differences[0].cells[0].leftHeader, "C69999");
    EXPECT_EQ(summary.differences[0].cells[0].rightValue, "changed");
}

}  // namespace
}  // namespace rowlark::CSVComparator
