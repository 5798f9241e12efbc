#include "engine/analysis/MappingAnalysis.h"
#include "engine/analysis/ScoredSuggestions.h"
#include "tests/engine/analysis/AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rowlark::analysis {
namespace {

using testing::distinctIntegerTable;
using testing::mappingsText;

// The invariants every analysis keeps, whatever its input.
void expectSoundResult(const records::MappingAnalysisResult& result, const table::Table& left,
                       const table::Table& right)
{
    ASSERT_EQ(result.mappings.size(), left.columnCount());
    ASSERT_EQ(result.suggestions.size(), left.columnCount());
    const auto isStructuredPair = [&](std::size_t leftIndex, std::int64_t rightIndex) {
        return left.structuredColumnIndices().contains(leftIndex) ==
               right.structuredColumnIndices().contains(static_cast<std::size_t>(rightIndex));
    };
    std::set<std::int64_t> usedRight;
    std::set<records::UUID> ids;
    for (std::size_t i = 0; i < result.mappings.size(); ++i) {
        const records::ColumnMapping& mapping = result.mappings[i];
        EXPECT_EQ(mapping.leftIndex, static_cast<std::int64_t>(i));
        EXPECT_FALSE(mapping.id.isNil());
        EXPECT_TRUE(ids.insert(mapping.id).second);
        EXPECT_TRUE(mapping.isIncluded);
        EXPECT_FALSE(mapping.isManual);
        EXPECT_TRUE(!mapping.isKey || mapping.rightIndex.has_value());
        if (mapping.rightIndex) {
            EXPECT_TRUE(usedRight.insert(*mapping.rightIndex).second) << "right column used twice";
            EXPECT_LT(static_cast<std::size_t>(*mapping.rightIndex), right.columnCount());
            EXPECT_TRUE(isStructuredPair(i, *mapping.rightIndex));
        }
        for (const auto& suggestion : result.suggestions[i]) {
            EXPECT_GE(suggestion.rightIndex, 0);
            EXPECT_LT(suggestion.rightIndex, static_cast<std::int64_t>(right.columnCount()));
            EXPECT_LE(suggestion.score, 1.0);
            EXPECT_TRUE(isStructuredPair(i, suggestion.rightIndex)) << "JSON objects pair only with JSON objects";
        }
    }
    EXPECT_LE(std::ranges::count_if(result.mappings, &records::ColumnMapping::isKey), 1);
}

TEST(MappingAnalysis, MapsAndSuggestsForTheHeadersOfTheDataFiles)
{
    using Inputs = std::vector<std::string>;
    const auto analyzed = [](const Inputs& fields) {
        const table::Table left = testing::distinctIntegerTable(testing::listed(fields[0]), 10, 0);
        const table::Table right = testing::distinctIntegerTable(testing::listed(fields[1]), 10, 100);
        records::MappingAnalysisResult result = analyzeMappings(left, right);
        expectSoundResult(result, left, right);
        return result;
    };
    rowlark::testing::expectCases(
        "mappingAnalysis.txt", [&](const Inputs& fields) { return testing::mappingsText(analyzed(fields).mappings); });
    rowlark::testing::expectCases("mappingSuggestions.txt", [&](const Inputs& fields) {
        return testing::suggestionsText(analyzed(fields).suggestions[0]);
    });
}

// A table from "header=values|…" over 200 rows, File B's rows in reverse order.
table::Table generatedTable(const std::string& columns, bool isReversed)
{
    static const std::vector<std::string> cities{"Oslo", "Lyon", "Graz", "Bern", "Pisa", "Riga", "Cork", "Gent"};
    const std::map<std::string, std::function<std::string(std::size_t)>> values{
        {"id", [](std::size_t row) { return std::to_string(row + 1); }},
        {"small", [](std::size_t row) { return std::to_string(row % 50 + 1); }},
        {"fewer", [](std::size_t row) { return std::to_string(row % 20 + 1); }},
        {"price", [](std::size_t row) { return std::to_string(1000 + row * 37) + ".25"; }},
        {"city", [](std::size_t row) { return cities[row % cities.size()]; }}};
    constexpr std::size_t rowCount = 200;
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows(rowCount);
    for (const std::string& column : testing::listed(columns)) {
        const std::size_t equals = column.find('=');
        headers.push_back(column.substr(0, equals));
        for (std::size_t row = 0; row < rowCount; ++row)
            rows[isReversed ? rowCount - 1 - row : row].push_back(values.at(column.substr(equals + 1))(row));
    }
    return table::Table::fromRows(std::move(headers), rows);
}

TEST(MappingAnalysis, HeadersSettleTiesBetweenOverlappingColumns)
{
    rowlark::testing::expectCases("overlappingValues.txt", [](const std::vector<std::string>& fields) {
        const table::Table left = generatedTable(fields[0], false);
        const table::Table right = generatedTable(fields[1], true);
        const records::MappingAnalysisResult result = analyzeMappings(left, right);
        expectSoundResult(result, left, right);
        return testing::mappingsText(result.mappings);
    });
}

table::Table tableWithJSONColumn(std::vector<std::string> headers, std::size_t jsonColumn)
{
    std::vector<std::vector<std::string>> rows(8);
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < headers.size(); ++column)
            rows[row].push_back(column == jsonColumn ? "{\"city\": \"Town " + std::to_string(row) + "\", \"zip\": \"" +
                                                           std::to_string(10000 + row) + "\"}"
                                                     : "value " + std::to_string(row));
    return table::Table::fromRows(std::move(headers), rows).expandingStructuredColumns();
}

TEST(MappingAnalysis, JSONObjectColumnsPairOnlyWithJSONObjectColumns)
{
    const table::Table left = tableWithJSONColumn({"Address", "Name"}, 0);
    const table::Table right = tableWithJSONColumn({"Address", "Name", "Address Text"}, 1);
    ASSERT_FALSE(left.structuredColumnIndices().empty());
    ASSERT_FALSE(right.structuredColumnIndices().empty());
    expectSoundResult(analyzeMappings(left, right), left, right);
}

TEST(MappingAnalysis, EmptySidesGiveEmptyResults)
{
    const table::Table some = testing::distinctIntegerTable({"A", "B"}, 3, 0);
    const records::MappingAnalysisResult noLeft = analyzeMappings(table::Table(), some);
    EXPECT_TRUE(noLeft.mappings.empty());
    EXPECT_TRUE(noLeft.suggestions.empty());

    const records::MappingAnalysisResult noRight = analyzeMappings(some, table::Table());
    expectSoundResult(noRight, some, table::Table());
    EXPECT_NE(analyzeMappings(some, some).mappings[0].id, analyzeMappings(some, some).mappings[0].id);
}

TEST(MappingAnalysis, OddHeadersAndShortTablesDoNotFail)
{
    const std::vector<std::string> headers{"", "#", "Name", "Name", "\u00A0", "\U0001F600", "ID"};
    const table::Table left = table::Table::fromRows(headers, {{"1", "2"}, {}, {"x", "y", "z", "w", "v", "u", "t"}});
    const table::Table right = table::Table::fromRows({"Name", "", "#", "Id", "Name"}, {{"a"}});
    const records::MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(result.mappings[6].rightIndex, 3);
    EXPECT_TRUE(result.mappings[6].isKey);
    expectSoundResult(analyzeMappings(table::Table::fromRows({}, {{"a"}}), right), table::Table(), right);
}

TEST(MappingAnalysis, MegabyteCellsAreAnalysed)
{
    const std::string big(1 << 20, 'q');
    const table::Table left = table::Table::fromRows({"Notes", "Name"}, {{big, "a"}, {big + "r", "b"}});
    const table::Table right = table::Table::fromRows({"Name", "Notes"}, {{"a", big}, {"b", big + "r"}});
    const records::MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(testing::mappingsText(result.mappings), "1k 0");
}

TEST(MappingAnalysis, WideTablesKeepEachColumnsBest200InOrder)
{
    std::vector<std::string> headers;
    for (int i = 0; i < 260; ++i)
        headers.push_back("Billing Account " + std::to_string(i));
    const table::Table left = distinctIntegerTable(headers, 3, 1);
    std::reverse(headers.begin(), headers.end());
    const table::Table right = distinctIntegerTable(headers, 3, 2);
    const records::MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    std::vector<ColumnProfile> rightProfiles;
    for (std::size_t column = 0; column < right.columnCount(); ++column)
        rightProfiles.push_back(profile(right, static_cast<std::int64_t>(column)));
    for (const std::size_t column : {0UL, 7UL, 259UL}) {
        const std::vector<records::HeaderSuggestion> all =
            scoredSuggestions(left.headers()[column], right.headers(), profile(left, static_cast<std::int64_t>(column)),
                              rightProfiles, std::nullopt);
        ASSERT_GT(all.size(), 200U);
        EXPECT_EQ(testing::suggestionsText(result.suggestions[column]),
                  testing::suggestionsText({all.begin(), all.begin() + 200}))
            << column;
    }
}

TEST(MappingAnalysis, AColumnWhoseKeptSuggestionsAreAllTakenIsStillMapped)
{
    // Column x shares all its values with each of 201 columns that their namesakes claim first,
    // and most with y, which lies past its 200 kept suggestions.
    const std::string shared = "abcde";
    std::vector<std::string> leftHeaders;
    std::vector<std::vector<std::string>> leftRows(25);
    for (int k = 0; k <= 200; ++k) {
        leftHeaders.push_back("f" + std::to_string(k));
        for (std::size_t row = 0; row < leftRows.size(); ++row)
            leftRows[row].push_back(row < 5 ? shared.substr(row, 1) : std::to_string(k) + "-" + std::to_string(row));
    }
    std::vector<std::string> rightHeaders = leftHeaders;
    std::vector<std::vector<std::string>> rightRows = leftRows;
    leftHeaders.push_back("x");
    rightHeaders.push_back("y");
    for (std::size_t row = 0; row < leftRows.size(); ++row) {
        leftRows[row].push_back(shared.substr(row % 5, 1));
        rightRows[row].push_back(row < 4 ? shared.substr(row, 1) : "y" + std::to_string(row));
    }
    const table::Table left = table::Table::fromRows(leftHeaders, leftRows);
    const table::Table right = table::Table::fromRows(rightHeaders, rightRows);
    const records::MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(result.suggestions[201].size(), 200U);
    EXPECT_EQ(result.mappings[201].rightIndex, 201);
    EXPECT_EQ(result.mappings[17].rightIndex, 17);
}

TEST(MappingAnalysis, AThrowingCheckpointStopsTheAnalysis)
{
    std::vector<std::string> headers;
    for (int i = 0; i < 300; ++i)
        headers.push_back("Field " + std::to_string(i));
    const table::Table table = distinctIntegerTable(headers, 20, 3);
    struct Stop {};
    std::atomic<std::size_t> calls = 0;
    analyzeMappings(table, table, [&] { ++calls; });
    // Every column of both sides is profiled and every left column scored under a checkpoint.
    EXPECT_GE(calls, 3 * headers.size());
    for (const std::size_t stopAt : {1UL, 450UL, 800UL}) {
        std::atomic<std::size_t> count = 0;
        const auto checkpoint = [&] { ++count >= stopAt ? throw Stop{} : void(); };
        EXPECT_THROW(analyzeMappings(table, table, checkpoint), Stop) << stopAt;
    }
}

}  // namespace
}  // namespace rowlark::analysis
