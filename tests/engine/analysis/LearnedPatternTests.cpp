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
using RightIndices = std::vector<std::optional<std::int64_t>>;

CSVTable headersOnly(std::vector<std::string> headers)
{
    return CSVTable::fromRows(std::move(headers), {});
}

RightIndices rightIndices(const std::vector<ColumnMapping>& mappings)
{
    RightIndices indices;
    for (const auto& mapping : mappings)
        indices.push_back(mapping.rightIndex);
    return indices;
}

struct PatternCase {
    std::string name;
    std::vector<std::string> leftHeaders;
    std::vector<std::string> rightHeaders;
    std::size_t anchor;
    std::int64_t chosen;
    RightIndices expected;
    std::int64_t filled;
};

TEST(LearnedPattern, OneChoiceMapsTheRelatedColumns)
{
    const std::vector<PatternCase> cases{
        {"added leading word",
         {"City", "State", "Zip"},
         {"Billing City", "Billing State", "Billing Zip", "Shipping City"},
         0,
         0,
         {0, 1, 2},
         2},
        {"dropped leading word",
         {"Billing Address", "Billing Phone", "Email"},
         {"Address", "Phone", "Email"},
         0,
         0,
         {0, 1, std::nullopt},
         1},
        {"entity prefix added, built from the header and not its alias",
         {"DOB", "Last Name", "Surname"},
         {"Guarantor Birth Date", "Guarantor Last Name", "Guarantor Surname Alias"},
         0,
         0,
         {0, 1, std::nullopt},
         1},
        {"entity prefix changed",
         {"Patient Phone", "Patient Email", "Email"},
         {"Guarantor Phone", "Guarantor Email", "Patient Email"},
         0,
         0,
         {0, 1, std::nullopt},
         1},
        {"entity prefix dropped",
         {"Guarantor Mobile", "Guarantor Email"},
         {"Phone", "Email", "Guarantor Email"},
         0,
         0,
         {0, 1},
         1},
        {"nothing learned without a suffix or a shared field",
         {"Name", "City"},
         {"Name Full", "Full City"},
         0,
         0,
         {0, std::nullopt},
         0},
        {"nothing learned between different fields of the same entity",
         {"Patient Phone", "Patient Email"},
         {"Patient Email", "Email"},
         0,
         0,
         {0, std::nullopt},
         0},
        {"the first free right column in order is taken",
         {"City", "State"},
         {"Billing City", "Billing-State", "billing_state"},
         0,
         0,
         {0, 1},
         1},
    };
    for (const auto& [name, leftHeaders, rightHeaders, anchor, chosen, expected, filled] : cases) {
        const auto mappings = unmappedMappings(leftHeaders.size());
        const auto result = applyLearnedPattern(headersOnly(leftHeaders), headersOnly(rightHeaders), mappings,
                                                mappings[anchor].id, chosen);
        EXPECT_EQ(rightIndices(result.mappings), expected) << name;
        EXPECT_EQ(result.filled, filled) << name;
        EXPECT_TRUE(result.mappings[anchor].isManual) << name;
        EXPECT_TRUE(result.mappings[anchor].isIncluded) << name;
    }
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
    EXPECT_EQ(rightIndices(result.mappings), (RightIndices{0, 1, 3, std::nullopt}));
    EXPECT_EQ(result.filled, 0);
}

TEST(LearnedPattern, AMappingMayKeepItsOwnColumnOrMoveToTheTarget)
{
    const CSVTable left = headersOnly({"City", "State"});
    const CSVTable right = headersOnly({"Billing City", "Region", "Billing State"});
    auto mappings = unmappedMappings(2);
    mappings[1].rightIndex = 1;
    const auto moved = applyLearnedPattern(left, right, mappings, mappings[0].id, 0);
    EXPECT_EQ(rightIndices(moved.mappings), (RightIndices{0, 2}));
    EXPECT_EQ(moved.filled, 1);

    const auto kept = applyLearnedPattern(left, headersOnly({"Billing City", "Region"}), mappings, mappings[0].id, 0);
    EXPECT_EQ(rightIndices(kept.mappings), (RightIndices{0, 1}));
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

TEST(LearnedPattern, HeadersWithoutLettersOrDigitsAreNotPatterned)
{
    // With an empty drop, a header that normalizes to nothing would otherwise target the bare
    // added word.
    const auto mappings = unmappedMappings(2);
    const auto result = applyLearnedPattern(headersOnly({"City", "#"}), headersOnly({"Billing City", "Billing"}),
                                            mappings, mappings[0].id, 0);
    EXPECT_EQ(rightIndices(result.mappings), (RightIndices{0, std::nullopt}));
    EXPECT_EQ(result.filled, 0);
}

}  // namespace
}  // namespace rowlark::CSVComparator
