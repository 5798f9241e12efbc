#include "engine/analysis/LearnedPattern.h"
#include "tests/engine/analysis/AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rowlark::analysis {
namespace {

table::Table headersOnly(std::vector<std::string> headers)
{
    return table::Table::fromRows(std::move(headers), {});
}

TEST(LearnedPattern, AppliesTheChoicesOfTheDataFile)
{
    rowlark::testing::expectCases("learnedPattern.txt", [](const std::vector<std::string>& fields) {
        const auto mappings = testing::mappingsFrom(fields[2]);
        const records::UUID anchor =
            fields[3] == "unknown" ? records::UUID::random() : mappings.at(std::stoul(fields[3])).id;
        const auto chosen = fields[4] == "-" ? std::nullopt : std::optional(std::stoll(fields[4]));
        const auto result = applyLearnedPattern(headersOnly(testing::listed(fields[0])),
                                                headersOnly(testing::listed(fields[1])), mappings, anchor, chosen);
        for (std::size_t i = 0; i < std::min(mappings.size(), result.mappings.size()); ++i)
            EXPECT_EQ(result.mappings[i].id, mappings[i].id) << fields[0];
        return testing::mappingsText(result.mappings) + " filled " + std::to_string(result.filled);
    });
}

table::Table withJSONColumn(std::vector<std::string> headers, std::size_t column)
{
    std::vector<std::string> row(headers.size(), "plain");
    row[column] = "{\"street\": \"Main\"}";
    return table::Table::fromRows(std::move(headers), {row}).expandingStructuredColumns();
}

TEST(LearnedPattern, StructuredColumnsPairOnlyWithStructuredColumnsAndStrayMappingsChangeNothing)
{
    const table::Table left = withJSONColumn({"City", "Address"}, 1);
    const table::Table right = withJSONColumn({"Billing City", "Billing Address", "Billing Address Copy"}, 2);
    ASSERT_TRUE(left.structuredColumnIndices().contains(1));
    ASSERT_EQ(right.structuredColumnIndices().size(), 1u);
    const auto rightJSON = static_cast<std::int64_t>(*right.structuredColumnIndices().begin());
    const auto mappings = testing::mappingsFrom("- - -");
    ASSERT_EQ(mappings.size(), left.columnCount());

    // A plain column cannot be chosen for the structured one.
    EXPECT_EQ(applyLearnedPattern(left, right, mappings, mappings[1].id, 1).mappings, mappings);
    EXPECT_EQ(applyLearnedPattern(left, right, mappings, mappings[0].id, rightJSON).mappings, mappings);

    // Billing Address exists but is plain, so the structured Address finds no target.
    const auto result = applyLearnedPattern(left, right, mappings, mappings[0].id, 0);
    EXPECT_EQ(result.mappings[1].rightIndex, std::nullopt);

    auto outOfRange = mappings;
    outOfRange[0].leftIndex = 9;
    EXPECT_EQ(applyLearnedPattern(left, right, outOfRange, outOfRange[0].id, 0).mappings, outOfRange);
    EXPECT_TRUE(applyLearnedPattern(left, right, {}, outOfRange[0].id, 0).mappings.empty());
}

}  // namespace
}  // namespace rowlark::analysis
