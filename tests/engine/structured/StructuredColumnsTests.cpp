#include "engine/structured/StructuredColumns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/table/Table.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/engine/text/CaseFile.h"

namespace rowlark::structured {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;
using ::testing::Pair;

// A path written as keys and [index] parts separated by /.
JSONPath parsedPath(const std::string& text)
{
    JSONPath path;
    for (std::size_t start = 0, slash = 0; slash != std::string::npos; start = slash + 1) {
        slash = text.find('/', start);
        const std::string part = text.substr(start, slash - start);
        path.push_back(part.starts_with('[') ? JSONPathComponent::index(std::stoll(part.substr(1)))
                                             : JSONPathComponent::key(part));
    }
    return path;
}

// One JSON column named `header` holding `cells`, expanded.
table::Table expandedColumn(const std::string& header, const std::vector<std::string>& cells)
{
    std::vector<std::vector<std::string>> rows;
    for (const auto& cell : cells)
        rows.push_back({cell});
    return table::Table::fromRows({header}, rows).expandingStructuredColumns();
}

TEST(RecognisingCells, FindsJSONObjectsOnly)
{
    testing::expectCases("recognition.txt", [](const std::vector<std::string>& fields) {
        return testing::yesOrNo(text::looksLikeJSONObject(fields[0])) + " " +
               testing::yesOrNo(flattenedJSONObject(fields[0]).has_value());
    });
}

// Flattening

std::string nestedObject(std::size_t levels, const std::string& innermost)
{
    std::string text;
    for (std::size_t level = 0; level < levels; ++level)
        text += R"({"k":)";
    return text + innermost + std::string(levels, '}');
}

TEST(FlattenedJSONObject, StoresContainersAtTheDepthLimitAsCompactJSONAtAnyNestingDepth)
{
    // The top-level object plus 32 levels: the container at depth 32 is one leaf.
    EXPECT_THAT(flattenedJSONObject(nestedObject(32, R"({ "b" : [1, 2.0], "a" : {} })")),
                Optional(ElementsAre(Pair(JSONPath(32, JSONPathComponent::key("k")), R"({"a":{},"b":[1,2]})"))));
    EXPECT_THAT(flattenedJSONObject(nestedObject(32, "7")),
                Optional(ElementsAre(Pair(JSONPath(32, JSONPathComponent::key("k")), "7"))));
    JSONPath oneAbove(31, JSONPathComponent::key("k"));
    oneAbove.push_back(JSONPathComponent::index(1));
    EXPECT_THAT(flattenedJSONObject(nestedObject(31, "[[1]]")), Optional(ElementsAre(Pair(oneAbove, "[1]"))));
    // Any nesting depth is flattened.
    for (const std::size_t levels : {600, 100'000})
        EXPECT_THAT(flattenedJSONObject(nestedObject(levels, "1")),
                    Optional(ElementsAre(Pair(JSONPath(maximumFlatteningDepth, JSONPathComponent::key("k")),
                                              nestedObject(levels - maximumFlatteningDepth, "1")))));
    EXPECT_FALSE(flattenedJSONObject(std::string(100'000, '{')).has_value());
}

TEST(JSONPathLabels, GivesBothForms)
{
    testing::expectCases("labels.txt", [](const std::vector<std::string>& fields) {
        const JSONPath path = parsedPath(fields[0]);
        return legacyJSONPathLabel(path) + " | " + unambiguousJSONPathLabel(path);
    });
}

TEST(DerivedJSONColumns, OrderAndLabelTheLeavesOfOneColumn)
{
    testing::expectCases("derived-columns.txt", [](const std::vector<std::string>& fields) {
        std::vector<JSONPath> paths;
        for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 2) {
            comma = fields[0].find(", ", start);
            paths.push_back(parsedPath(fields[0].substr(start, comma - start)));
        }
        std::string result;
        for (const DerivedJSONColumn& column : derivedJSONColumns(paths))
            result += (result.empty() ? "" : ", ") + column.label + "=" + unambiguousJSONPathLabel(column.path);
        return result;
    });
}

// Expanding tables

class DataFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DataFileTest, ExpandsAsExpected)
{
    testing::expectLoadsAsExpected("structured", GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, DataFileTest, ::testing::ValuesIn(testing::dataFileNames("structured", ".csv")),
                         testing::testNameOf);

TEST(ExpandingStructuredColumns, LeavesAnEmptyTableEmpty)
{
    EXPECT_EQ(table::Table().expandingStructuredColumns(), table::Table());
}

TEST(ExpandingStructuredColumns, ReplacesEarlierBookkeeping)
{
    // Derived cells hold no objects, so a second pass finds the same two source columns.
    const table::Table twice = table::Table::fromRows({"j", "k"}, {{R"({"a":1})", R"({"b":2})"}})
                                   .expandingStructuredColumns()
                                   .expandingStructuredColumns();
    EXPECT_EQ(testing::tableText(twice), "j|j_a|j_a|k|k_b|k_b\n"
                                         R"({"a":1}|1|1|{"b":2}|2|2)"
                                         "\nJSON columns: 0 3; derived: 1 4; derived count: 2\n");
}

TEST(ExpandingStructuredColumns, SkipsHugeCellsOnlyWhileDetecting)
{
    const std::string huge = R"({"big":")" + std::string(largestDetectedCellBytes, 'x') + R"("})";
    const std::string small = R"({"small":"s"})";
    // A huge object alone does not make its column structured.
    EXPECT_EQ(expandedColumn("c", {huge}).columnCount(), 1u);
    // Paths seen only in a huge cell get no column.
    EXPECT_THAT(expandedColumn("c", {huge, small}).headers(), ElementsAre("c", "c_small"));
    // Once a column of that path exists, the huge cell fills it.
    const table::Table expanded = expandedColumn("c", {huge, small, R"({"big":"b","small":"t"})"});
    EXPECT_THAT(expanded.headers(), ElementsAre("c", "c_big", "c_small"));
    EXPECT_EQ(expanded.cell(0, 1), std::string(largestDetectedCellBytes, 'x'));
    EXPECT_EQ(expanded.cell(1, 2), "s");
}

TEST(ExpandingStructuredColumns, ExpandsDeeplyNestedCellsWhateverTheirSpacing)
{
    std::string spaced = " 1";
    for (int level = 0; level < 600; ++level)
        spaced = R"({ "k" : )" + spaced + " }";
    const table::Table expanded = expandedColumn("c", {nestedObject(600, "1"), spaced});
    EXPECT_EQ(expanded.structuredColumnIndices(), (std::set<std::size_t>{0}));
    ASSERT_EQ(expanded.columnCount(), 2u);
    EXPECT_EQ(expanded.cell(0, 1), nestedObject(600 - maximumFlatteningDepth, "1"));
    EXPECT_EQ(expanded.cell(1, 1), expanded.cell(0, 1));
}

TEST(ExpandingStructuredColumns, SharesTheStorageOfUnchangedColumns)
{
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < 1000; ++row)
        rows.push_back({std::string(100, 'p'), R"({"a":"1"})"});
    const table::Table table = table::Table::fromRows({"plain", "json"}, rows);
    const table::Table expanded = table.expandingStructuredColumns();
    ASSERT_EQ(expanded.columnCount(), 3u);
    EXPECT_EQ(expanded.cell(999, 0).data(), table.cell(999, 0).data());
    EXPECT_EQ(expanded.cell(999, 1).data(), table.cell(999, 1).data());
    EXPECT_LT(expanded.memoryUsage(), table.memoryUsage() + 1000 * 16);
}

}  // namespace
}  // namespace rowlark::structured
