#include "AnalysisTestSupport.h"
#include "analysis/LearnedPattern.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rowlark::CSVComparator {
namespace {

using testing::unmappedMappings;

CSVTable headersOnly(std::vector<std::string> headers)
{
    return CSVTable::fromRows(std::move(headers), {});
}

TEST(LearnedPattern, OneChoiceMapsTheRelatedColumnsOfTheDataFile)
{
    rowlark::testing::expectCases("learnedPattern.txt", [](const std::vector<std::string>& fields) {
        const auto mappings = unmappedMappings(testing::listed(fields[0]).size());
        const auto result = applyLearnedPattern(headersOnly(testing::listed(fields[0])),
                                                headersOnly(testing::listed(fields[1])), mappings, mappings[0].id, 0);
        EXPECT_TRUE(result.mappings[0].isManual && result.mappings[0].isIncluded) << fields[0];
        EXPECT_EQ(testing::mappedColumns(result.mappings), fields[2]) << fields[0] << " against " << fields[1];
        return std::to_string(result.filled);
    });
}

TEST(LearnedPattern, FilledMappingsAreIncludedButNotManual)
{
    auto mappings = unmappedMappings(2);
    mappings[1].isIncluded = false;
    mappings[1].isKey = false;
    const auto result = applyLearnedPattern(headersOnly({"City", "Zip"}), headersOnly({"Billing City", "Billing Zip"}),
                                            mappings, mappings[0].id, 0);
    EXPECT_EQ(result.mappings[1].rightIndex, 1);
    EXPECT_TRUE(result.mappings[1].isIncluded);
    EXPECT_FALSE(result.mappings[1].isManual);
    EXPECT_EQ(result.mappings[1].id, mappings[1].id);
}

TEST(LearnedPattern, KeepsExistingTargetsAndNeverTakesManualColumns)
{
    const CSVTable left = headersOnly({"City", "State", "Zip", "County"});
    const CSVTable right = headersOnly({"Billing City", "Billing State", "Billing Zip", "Billing County"});
    auto mappings = unmappedMappings(4);
    mappings[1].rightIndex = 1;  // already where the pattern points
    mappings[2].rightIndex = 3;  // chosen by hand, holding the column County would follow
    mappings[2].isManual = true;
    const auto result = applyLearnedPattern(left, right, mappings, mappings[0].id, 0);
    EXPECT_EQ(testing::mappedColumns(result.mappings), "0 1 3 -");
    EXPECT_EQ(result.filled, 0);
}

TEST(LearnedPattern, AMappingMayKeepItsOwnColumnOrMoveToTheTarget)
{
    const CSVTable left = headersOnly({"City", "State"});
    const CSVTable right = headersOnly({"Billing City", "Region", "Billing State"});
    auto mappings = unmappedMappings(2);
    mappings[1].rightIndex = 1;
    const auto moved = applyLearnedPattern(left, right, mappings, mappings[0].id, 0);
    EXPECT_EQ(testing::mappedColumns(moved.mappings), "0 2");
    EXPECT_EQ(moved.filled, 1);

    const auto kept = applyLearnedPattern(left, headersOnly({"Billing City", "Region"}), mappings, mappings[0].id, 0);
    EXPECT_EQ(testing::mappedColumns(kept.mappings), "0 1");
    EXPECT_EQ(kept.filled, 0);
}

TEST(LearnedPattern, ChoosingAHeldColumnReleasesItsHolder)
{
    const CSVTable left = headersOnly({"ID", "Code"});
    const CSVTable right = headersOnly({"Identifier"});
    auto mappings = unmappedMappings(2);
    mappings[0].rightIndex = 0;
    mappings[0].isKey = true;
    mappings[0].isManual = true;
    const auto result = applyLearnedPattern(left, right, mappings, mappings[1].id, 0);
    EXPECT_EQ(result.mappings[0].rightIndex, std::nullopt);
    EXPECT_FALSE(result.mappings[0].isKey);
    EXPECT_FALSE(result.mappings[0].isManual);
    EXPECT_FALSE(result.mappings[0].isIncluded);
    EXPECT_EQ(result.mappings[1].rightIndex, 0);
    EXPECT_TRUE(result.mappings[1].isManual);
    EXPECT_FALSE(result.mappings[1].isKey);
}

TEST(LearnedPattern, AnchorKeepsItsKeyMark)
{
    auto mappings = unmappedMappings(1);
    mappings[0].rightIndex = 1;
    mappings[0].isKey = true;
    const auto result =
        applyLearnedPattern(headersOnly({"ID"}), headersOnly({"ID", "Record ID"}), mappings, mappings[0].id, 1);
    EXPECT_EQ(result.mappings[0].rightIndex, 1);
    EXPECT_TRUE(result.mappings[0].isKey);
}

TEST(LearnedPattern, ChoosingNoColumnUnmapsAndExcludes)
{
    auto mappings = unmappedMappings(2);
    mappings[0].rightIndex = 0;
    mappings[0].isKey = true;
    const auto result = applyLearnedPattern(headersOnly({"ID", "Name"}), headersOnly({"ID", "Name"}), mappings,
                                            mappings[0].id, std::nullopt);
    const ColumnMapping& anchor = result.mappings[0];
    EXPECT_EQ(anchor.rightIndex, std::nullopt);
    EXPECT_TRUE(anchor.isManual);
    EXPECT_FALSE(anchor.isIncluded);
    EXPECT_FALSE(anchor.isKey);
    EXPECT_EQ(result.mappings[1], mappings[1]);
    EXPECT_EQ(result.filled, 0);
}

TEST(LearnedPattern, InvalidChoicesChangeNothing)
{
    const CSVTable left = headersOnly({"City", "State"});
    const CSVTable right = headersOnly({"Billing City", "Billing State"});
    auto mappings = unmappedMappings(2);
    const std::vector<std::pair<Uuid, std::optional<std::int64_t>>> choices{{Uuid::random(), 0},
                                                                            {Uuid::random(), std::nullopt},
                                                                            {mappings[0].id, 2},
                                                                            {mappings[0].id, -1},
                                                                            {mappings[0].id, INT64_MAX}};
    for (const auto& [anchor, chosen] : choices) {
        const auto result = applyLearnedPattern(left, right, mappings, anchor, chosen);
        EXPECT_EQ(result.mappings, mappings);
        EXPECT_EQ(result.filled, 0);
    }
    auto outOfRange = mappings;
    outOfRange[1].leftIndex = 9;
    EXPECT_EQ(applyLearnedPattern(left, right, outOfRange, outOfRange[1].id, 1).mappings, outOfRange);
    EXPECT_TRUE(applyLearnedPattern(left, right, {}, mappings[0].id, 0).mappings.empty());
}

CSVTable withJSONColumn(std::vector<std::string> headers, std::size_t column)
{
    std::vector<std::string> row(headers.size(), "plain");
    row[column] = "{\"street\": \"Main\"}";
    return CSVTable::fromRows(std::move(headers), {row}).expandingStructuredColumns();
}

TEST(LearnedPattern, StructuredColumnsPairOnlyWithStructuredColumns)
{
    const CSVTable left = withJSONColumn({"City", "Address"}, 1);
    const CSVTable right = withJSONColumn({"Billing City", "Billing Address", "Billing Address Copy"}, 2);
    ASSERT_TRUE(left.structuredColumnIndices().contains(1));
    ASSERT_EQ(right.structuredColumnIndices().size(), 1u);
    const auto rightJSON = static_cast<std::int64_t>(*right.structuredColumnIndices().begin());
    auto mappings = unmappedMappings(left.columnCount());

    // A plain column cannot be chosen for the structured one.
    EXPECT_EQ(applyLearnedPattern(left, right, mappings, mappings[1].id, 1).mappings, mappings);
    EXPECT_EQ(applyLearnedPattern(left, right, mappings, mappings[0].id, rightJSON).mappings, mappings);

    // Billing Address exists but is plain, so the structured Address finds no target.
    const auto result = applyLearnedPattern(left, right, mappings, mappings[0].id, 0);
    EXPECT_EQ(result.mappings[1].rightIndex, std::nullopt);
}

}  // namespace
}  // namespace rowlark::CSVComparator
