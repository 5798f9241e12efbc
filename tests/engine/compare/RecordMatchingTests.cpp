#include "compare/RecordMatching.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "ComparisonTestSupport.h"

namespace rowlark::CSVComparator {
namespace {

using testing_support::describe;
using testing_support::mapping;
using testing_support::Rows;

// A case file of tests/data/compare: option lines ("map <left> <right or -> [key] [off]",
// "ignore case"), then "== left", "== right" (left again when missing) and "== expected" sections.
// The expected lines are the differences as `describe` gives them, then the row counts and the
// key diagnostics, or else the one line "error <message>".
struct ComparisonCase {
    std::vector<ColumnMapping> mappings;
    bool ignoreCase = false;
    std::string left;
    std::optional<std::string> right;
    std::vector<std::string> expected;
};

ComparisonCase readCase(const std::filesystem::path& path)
{
    ComparisonCase c;
    std::string section;
    std::istringstream text(testing_support::contents(path));
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with("== ")) {
            section = line.substr(3);
            if (section == "right")
                c.right.emplace();
        } else if (section == "left") {
            c.left += line + "\n";
        } else if (section == "right") {
            *c.right += line + "\n";
        } else if (section == "expected") {
            c.expected.push_back(testing_support::unescaped(line));
        } else if (line == "ignore case") {
            c.ignoreCase = true;
        } else if (line.starts_with("map ")) {
            std::istringstream words(line.substr(4));
            std::string leftIndex, rightIndex, flag;
            words >> leftIndex >> rightIndex;
            auto& m = c.mappings.emplace_back(mapping(std::stoll(leftIndex), std::nullopt));
            if (rightIndex != "-")
                m.rightIndex = std::stoll(rightIndex);
            while (words >> flag) {
                m.isKey |= flag == "key";
                m.isIncluded &= flag != "off";
            }
        }
    }
    return c;
}

std::vector<std::string> outcome(const ComparisonCase& c)
{
    const auto left = CSVTable::parse(testing_support::unescaped(c.left));
    const auto right = c.right ? CSVTable::parse(testing_support::unescaped(*c.right)) : left;
    try {
        const auto result = compareWithKeyDiagnostics(left, right, c.mappings, c.ignoreCase);
        const auto& summary = result.summary;
        auto lines = describe(summary);
        using std::to_string;
        lines.push_back("rows " + to_string(summary.leftRows) + "/" + to_string(summary.rightRows) + ", matching " +
                        to_string(summary.matchingRows) + ", ambiguous " + to_string(summary.ambiguousDuplicateKeyGroups));
        lines.push_back("keys A: " + to_string(result.leftKeys.emptyKeyRows) + " empty, " +
                        to_string(result.leftKeys.repeatedKeyGroups) + " repeated; B: " +
                        to_string(result.rightKeys.emptyKeyRows) + " empty, " +
                        to_string(result.rightKeys.repeatedKeyGroups) + " repeated");
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
        const ComparisonCase c = readCase(file);
        EXPECT_EQ(outcome(c), c.expected) << file.filename();
        ++cases;
    }
    EXPECT_GE(cases, 38u);
}

TEST(Compare, everyDifferenceAndCellHasItsOwnId)
{
    const std::vector<std::string> headers{"ID", "Value"};
    const auto summary = compare(CSVTable::fromRows(headers, {{"1", "a"}, {"2", "b"}}),
                                 CSVTable::fromRows(headers, {{"1", "z"}, {"3", "c"}}),
                                 {mapping(0, 0, true), mapping(1, 1)}, false);
    std::set<Uuid> ids;
    for (const auto& difference : summary.differences) {
        ids.insert(difference.id);
        for (const auto& cell : difference.cells)
            ids.insert(cell.id);
    }
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_FALSE(ids.contains(Uuid()));
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
