#include "AnalysisTestSupport.h"
#include "analysis/MappingAnalysis.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace rowlark::CSVComparator {
namespace {

using testing::distinctIntegerTable;

std::vector<std::optional<std::int64_t>> rightIndices(const MappingAnalysisResult& result)
{
    std::vector<std::optional<std::int64_t>> indices;
    for (const auto& mapping : result.mappings)
        indices.push_back(mapping.rightIndex);
    return indices;
}

std::vector<std::int64_t> keyColumns(const MappingAnalysisResult& result)
{
    std::vector<std::int64_t> keys;
    for (const auto& mapping : result.mappings)
        if (mapping.isKey)
            keys.push_back(mapping.leftIndex);
    return keys;
}

// The invariants every analysis keeps, whatever its input.
void expectSoundResult(const MappingAnalysisResult& result, const CSVTable& left, const CSVTable& right)
{
    ASSERT_EQ(result.mappings.size(), left.columnCount());
    ASSERT_EQ(result.suggestions.size(), left.columnCount());
    std::set<std::int64_t> usedRight;
    std::set<Uuid> ids;
    for (std::size_t i = 0; i < result.mappings.size(); ++i) {
        const ColumnMapping& mapping = result.mappings[i];
        EXPECT_EQ(mapping.leftIndex, static_cast<std::int64_t>(i));
        EXPECT_FALSE(mapping.id.isNil());
        EXPECT_TRUE(ids.insert(mapping.id).second);
        EXPECT_TRUE(mapping.isIncluded);
        EXPECT_FALSE(mapping.isManual);
        EXPECT_TRUE(!mapping.isKey || mapping.rightIndex.has_value());
        if (mapping.rightIndex) {
            EXPECT_TRUE(usedRight.insert(*mapping.rightIndex).second) << "right column used twice";
            EXPECT_EQ(left.structuredColumnIndices().contains(i),
                      right.structuredColumnIndices().contains(static_cast<std::size_t>(*mapping.rightIndex)));
        }
        for (const auto& suggestion : result.suggestions[i]) {
            EXPECT_GE(suggestion.rightIndex, 0);
            EXPECT_LT(suggestion.rightIndex, static_cast<std::int64_t>(right.columnCount()));
            EXPECT_LE(suggestion.score, 1.0);
        }
    }
    EXPECT_LE(keyColumns(result).size(), 1u);
}

TEST(MappingAnalysis, MapsMatchingHeadersAndPrefersAKeyFieldAsKey)
{
    const CSVTable left = distinctIntegerTable({"Name", "Email", "Account Number"}, 20, 0);
    const CSVTable right = distinctIntegerTable({"Name", "Email", "Account Number"}, 20, 3);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(rightIndices(result), (std::vector<std::optional<std::int64_t>>{0, 1, 2}));
    EXPECT_EQ(keyColumns(result), std::vector<std::int64_t>{2});
}

TEST(MappingAnalysis, WithoutAKeyFieldTheFirstMappedColumnIsTheKey)
{
    const CSVTable left = distinctIntegerTable({"Notes", "Amount", "Region"}, 10, 0);
    const CSVTable right = distinctIntegerTable({"Region", "Amount"}, 10, 5);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(rightIndices(result), (std::vector<std::optional<std::int64_t>>{std::nullopt, 1, 0}));
    EXPECT_EQ(keyColumns(result), std::vector<std::int64_t>{1});
}

TEST(MappingAnalysis, TiedBestCandidatesLeaveTheColumnUnmapped)
{
    const CSVTable left = distinctIntegerTable({"Phone Number"}, 10, 0);
    const CSVTable right = distinctIntegerTable({"Telephone", "Mobile"}, 10, 5);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(result.mappings[0].rightIndex, std::nullopt);
    EXPECT_TRUE(keyColumns(result).empty());
    // Both stay on offer for a manual choice, ordered by header text.
    ASSERT_EQ(result.suggestions[0].size(), 2u);
    EXPECT_EQ(result.suggestions[0][0].rightIndex, 1);
    EXPECT_EQ(result.suggestions[0][1].rightIndex, 0);
    EXPECT_EQ(result.suggestions[0][0].score, result.suggestions[0][1].score);
}

TEST(MappingAnalysis, TheStrongerProposalWinsAContestedColumn)
{
    const CSVTable left = distinctIntegerTable({"Phone", "Phone Number"}, 10, 0);
    const CSVTable right = distinctIntegerTable({"Phone Number"}, 10, 5);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(rightIndices(result), (std::vector<std::optional<std::int64_t>>{std::nullopt, 0}));
}

TEST(MappingAnalysis, TheSecondAssignmentFillsColumnsWhoseRivalWasTaken)
{
    // Telephone ties between Phone and Mobile at first; once Phone goes to the exact match, Mobile
    // is its only free candidate.
    const CSVTable left = distinctIntegerTable({"Phone", "Telephone"}, 10, 0);
    const CSVTable right = distinctIntegerTable({"Phone", "Mobile"}, 10, 5);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(rightIndices(result), (std::vector<std::optional<std::int64_t>>{0, 1}));
}

TEST(MappingAnalysis, LearnsTheDominantEntityPrefixInASecondPass)
{
    const CSVTable left = distinctIntegerTable({"DOB", "First Name", "Member ID"}, 10, 0);
    const CSVTable right = distinctIntegerTable(
        {"Guarantor DOB", "Patient DOB", "Guarantor First Name", "Patient First Name", "Guarantor Member ID"}, 10, 10);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(rightIndices(result), (std::vector<std::optional<std::int64_t>>{0, 2, 4}));
    EXPECT_EQ(keyColumns(result), std::vector<std::int64_t>{0});

    // The lists are those of the second pass: guarantor candidates carry the learned pattern.
    const double shape = 0.88 * 0.88 + 0.12;
    const auto& dob = result.suggestions[0];
    ASSERT_GE(dob.size(), 2u);
    EXPECT_EQ(dob[0], (HeaderSuggestion{0, 0.88 * 0.99 + 0.12 * shape, "Learned pattern"}));
    EXPECT_EQ(dob[1], (HeaderSuggestion{1, 0.88 * 0.97 + 0.12 * shape, "Entity prefix match"}));
    EXPECT_GT(dob[0].score - dob[1].score, 0.015);
    EXPECT_LT(dob[0].score - dob[1].score, 0.035);
    for (std::size_t i = 2; i < dob.size(); ++i)
        EXPECT_EQ(dob[i].reason, "Matching data type");
}

TEST(MappingAnalysis, WithoutAPrefixTheEntityCandidatesStayTied)
{
    const CSVTable left = distinctIntegerTable({"DOB"}, 10, 0);
    const CSVTable right = distinctIntegerTable({"Patient DOB", "Guarantor DOB"}, 10, 10);
    const MappingAnalysisResult result = analyzeMappings(left, right);
    EXPECT_EQ(result.mappings[0].rightIndex, std::nullopt);
    ASSERT_EQ(result.suggestions[0].size(), 2u);
    EXPECT_EQ(result.suggestions[0][0].reason, "Entity prefix match");
    EXPECT_EQ(result.suggestions[0][0].rightIndex, 1);
}

CSVTable tableWithJSONColumn(std::vector<std::string> headers, std::size_t jsonColumn)
{
    std::vector<std::vector<std::string>> rows(8);
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < headers.size(); ++column)
            rows[row].push_back(column == jsonColumn ? "{\"city\": \"Town " + std::to_string(row) + "\", \"zip\": \"" +
                                                           std::to_string(10000 + row) + "\"}"
                                                     : "value " + std::to_string(row));
    return CSVTable::fromRows(std::move(headers), rows).expandingStructuredColumns();
}

TEST(MappingAnalysis, JSONObjectColumnsPairOnlyWithJSONObjectColumns)
{
    const CSVTable left = tableWithJSONColumn({"Address", "Name"}, 0);
    const CSVTable right = tableWithJSONColumn({"Address", "Name", "Address Text"}, 1);
    ASSERT_FALSE(left.structuredColumnIndices().empty());
    ASSERT_FALSE(right.structuredColumnIndices().empty());
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    for (std::size_t i = 0; i < result.suggestions.size(); ++i)
        for (const auto& suggestion : result.suggestions[i])
            EXPECT_EQ(left.structuredColumnIndices().contains(i),
                      right.structuredColumnIndices().contains(static_cast<std::size_t>(suggestion.rightIndex)))
                << left.headers()[i] << " offered " << right.headers()[static_cast<std::size_t>(suggestion.rightIndex)];
    // The left JSON Address is not offered the plain right Address, however exact the header.
    const auto leftAddress = static_cast<std::size_t>(*left.structuredColumnIndices().begin());
    const auto rightJSON = static_cast<std::int64_t>(*right.structuredColumnIndices().begin());
    for (const auto& suggestion : result.suggestions[leftAddress])
        EXPECT_EQ(suggestion.rightIndex, rightJSON);
}

TEST(MappingAnalysis, EmptySidesGiveEmptyResults)
{
    const CSVTable some = distinctIntegerTable({"A", "B"}, 3, 0);
    const MappingAnalysisResult noLeft = analyzeMappings(CSVTable(), some);
    EXPECT_TRUE(noLeft.mappings.empty());
    EXPECT_TRUE(noLeft.suggestions.empty());

    const MappingAnalysisResult noRight = analyzeMappings(some, CSVTable());
    expectSoundResult(noRight, some, CSVTable());
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(noRight.mappings[i].rightIndex, std::nullopt);
        EXPECT_TRUE(noRight.suggestions[i].empty());
    }
    EXPECT_TRUE(keyColumns(noRight).empty());
    EXPECT_NE(analyzeMappings(some, some).mappings[0].id, analyzeMappings(some, some).mappings[0].id);
}

TEST(MappingAnalysis, OddHeadersAndShortTablesDoNotFail)
{
    const std::vector<std::string> headers{"", "#", "Name", "Name", "\u00A0", "\U0001F600", "ID"};
    const CSVTable left = CSVTable::fromRows(headers, {{"1", "2"}, {}, {"x", "y", "z", "w", "v", "u", "t"}});
    const CSVTable right = CSVTable::fromRows({"Name", "", "#", "Id", "Name"}, {{"a"}});
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(result.mappings[6].rightIndex, 3);
    EXPECT_EQ(keyColumns(result), std::vector<std::int64_t>{6});
    expectSoundResult(analyzeMappings(CSVTable::fromRows({}, {{"a"}}), right), CSVTable(), right);
}

TEST(MappingAnalysis, MegabyteCellsAreAnalysed)
{
    const std::string big(1 << 20, 'q');
    const CSVTable left = CSVTable::fromRows({"Notes", "Name"}, {{big, "a"}, {big + "r", "b"}});
    const CSVTable right = CSVTable::fromRows({"Name", "Notes"}, {{"a", big}, {"b", big + "r"}});
    const MappingAnalysisResult result = analyzeMappings(left, right);
    expectSoundResult(result, left, right);
    EXPECT_EQ(rightIndices(result), (std::vector<std::optional<std::int64_t>>{1, 0}));
}

}  // namespace
}  // namespace rowlark::CSVComparator
