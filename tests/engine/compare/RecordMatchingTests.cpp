#include "engine/compare/RecordMatching.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::compare {
namespace {

using testing_support::describe;
using testing_support::mapping;
using testing_support::Rows;

std::string joinedLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return testing_support::unescaped(text);
}

std::vector<records::ColumnMapping> mappings(const std::vector<std::string>& options)
{
    std::vector<records::ColumnMapping> result;
    for (const std::string& option : options) {
        std::istringstream words(option);
        std::string word, leftIndex, rightIndex;
        if (!(words >> word >> leftIndex >> rightIndex) || word != "map")
            continue;
        auto& m = result.emplace_back(mapping(std::stoll(leftIndex), std::nullopt));
        if (rightIndex != "-")
            m.rightIndex = std::stoll(rightIndex);
        while (words >> word) {
            m.isKey |= word == "key";
            m.isIncluded &= word != "off";
            if (word.starts_with("rule="))
                m.rule = values::ComparisonRule::fromText(word.substr(5));
            if (word.starts_with("proposed="))
                m.proposedRule = values::ComparisonRule::fromText(word.substr(9));
        }
    }
    return result;
}

// The lines that say how columns under rules fared: the values a rule could not read, and per
// column with a rule or a proposal its changed and format-only records.
std::vector<std::string> ruleLines(const records::ComparisonSummary& summary)
{
    std::vector<std::string> lines;
    for (const records::RowDifference& difference : summary.differences)
        for (const records::CellDifference& cell : difference.cells)
            for (const auto& [isRead, value] :
                 {std::pair{cell.isLeftValueRead, cell.leftValue}, {cell.isRightValueRead, cell.rightValue}})
                if (!isRead)
                    lines.push_back("not read [" + difference.key + "] " + cell.leftHeader + ": " + value);
    for (const records::ColumnChanges& column : summary.columns)
        if (column.rule != values::ComparisonRule() || column.proposedRule)
            lines.push_back("column " + column.leftHeader + " " + column.rule.text() + ": changed " +
                            std::to_string(column.changedRecords) + ", format-only " +
                            std::to_string(column.formatOnlyRecords));
    return lines;
}

// What a case file of tests/data/compare gives: the differences as `describe` writes them, the row
// counts and the key diagnostics, the lines of ruleLines, or the one line "error <message>". Its
// options are mappings ("map <left> <right or -> [key] [off] [rule=RULE] [proposed=RULE]") and
// "ignore case"; without a right table the left one is compared with itself.
std::vector<std::string> outcome(std::map<std::string, std::vector<std::string>>& c)
{
    const auto left = table::Table::parse(joinedLines(c["left"]));
    const auto right = c.contains("right") ? table::Table::parse(joinedLines(c["right"])) : left;
    try {
        const auto result =
            compareWithKeyDiagnostics(left, right, mappings(c[""]), std::ranges::count(c[""], "ignore case") > 0);
        const auto& summary = result.summary;
        std::set<records::UUID> ids{records::UUID()};
        for (const auto& difference : summary.differences) {
            EXPECT_TRUE(ids.insert(difference.id).second) << "a nil or repeated id";
            for (const auto& cell : difference.cells)
                EXPECT_TRUE(ids.insert(cell.id).second) << "a nil or repeated id";
        }
        using std::to_string;
        auto lines = describe(summary);
        lines.push_back("rows " + to_string(summary.leftRows) + "/" + to_string(summary.rightRows) + ", matching " +
                        to_string(summary.matchingRows) + ", ambiguous " +
                        to_string(summary.ambiguousDuplicateKeyGroups));
        lines.push_back("keys A: " + to_string(result.leftKeys.emptyKeyRows) + " empty, " +
                        to_string(result.leftKeys.repeatedKeyGroups) +
                        " repeated; B: " + to_string(result.rightKeys.emptyKeyRows) + " empty, " +
                        to_string(result.rightKeys.repeatedKeyGroups) + " repeated");
        std::ranges::copy(ruleLines(summary), std::back_inserter(lines));
        return lines;
    } catch (const InvalidMappingError& error) {
        return {std::string("error ") + error.what()};
    }
}

TEST(Compare, casesGiveTheirExpectedDifferences)
{
    std::size_t cases = 0;
    for (const auto& file : testing_support::dataFiles("compare")) {
        if (file.extension() != ".case")
            continue;
        auto c = testing_support::sections(file);
        std::vector<std::string> expected;
        for (const std::string& line : c["expected"])
            expected.push_back(testing_support::unescaped(line));
        EXPECT_EQ(outcome(c), expected) << file.filename();
        ++cases;
    }
    EXPECT_GE(cases, 39u);
}

TEST(Compare, tablesTooWideForTwoByteCodesCompareEveryColumn)
{
    constexpr std::size_t width = 70'000;
    std::vector<std::string> headers;
    std::vector<records::ColumnMapping> mappings;
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
        compare(table::Table::fromRows(headers, padded), table::Table::fromRows(headers, plain), mappings, false);
    EXPECT_EQ(summary.matchingRows, 1);
    ASSERT_EQ(summary.differences.size(), 1u);
    ASSERT_EQ(summary.differences[0].cells.size(), 1u);
    EXPECT_EQ(summary.differences[0].cells[0].leftHeader, "C69999");
    EXPECT_EQ(summary.differences[0].cells[0].rightValue, "changed");
}

}  // namespace
}  // namespace rowlark::compare
