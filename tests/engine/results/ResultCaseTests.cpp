#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <unistd.h>

#include "engine/compare/RecordMatching.h"
#include "engine/results/ComparisonReport.h"
#include "engine/results/ResultIndex.h"
#include "engine/results/XLSXReport.h"
#include "engine/workbook/FileImport.h"
#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::results {
namespace {

using testing_support::fields;
using testing_support::split;
using testing_support::unescaped;
using Row = std::vector<std::string>;

// A case file of tests/data/results: option lines ("names", "headers" with a comma-separated list
// per side, "positions" for the report), then "== differences", one a line: status | key | left
// cells | right cells | changed cells written left>right; cells are separated by commas and "-"
// stands for no row; # starts a comment. Then "== report", the report's lines, and "== searches", lines of
// filter | query | positions found.
struct ResultCase {
    records::ComparisonSummary summary;
    Row names{"a.csv", "b.csv"};
    std::vector<Row> headers{{"id", "name"}, {"id", "name"}};
    std::optional<std::vector<std::size_t>> positions;
    std::optional<std::string> report;
    std::vector<Row> searches;
};

Row cells(std::string_view text)
{
    Row row;
    if (!text.empty())
        for (const std::string_view cell : split(text, ','))
            row.push_back(unescaped(cell));
    return row;
}

std::optional<Row> record(std::string_view text)
{
    return text == "-" ? std::nullopt : std::optional(cells(text));
}

records::RowDifference difference(const std::vector<std::string_view>& field)
{
    const std::vector<std::string_view> statuses{"changed", "onlyLeft", "onlyRight"};
    const auto status = static_cast<records::DiffStatus>(std::ranges::find(statuses, field.at(0)) - statuses.begin());
    records::RowDifference result{records::UUID::random(), unescaped(field.at(1)), status,
                                  record(field.at(2)),     record(field.at(3)),    {}};
    for (const std::string& cell : cells(field.size() > 4 ? field[4] : "")) {
        const std::size_t arrow = cell.find('>');
        result.cells.push_back(
            {records::UUID::random(), "value", "value", cell.substr(0, arrow), cell.substr(arrow + 1)});
    }
    return result;
}

records::ResultFilter filterNamed(std::string_view name)
{
    const std::vector<std::string_view> names{"all", "changed", "onlyLeft", "onlyRight", "emptyValues"};
    return static_cast<records::ResultFilter>(std::ranges::find(names, name) - names.begin());
}

std::string spaced(const std::vector<std::size_t>& positions)
{
    std::string text;
    for (const std::size_t position : positions)
        text += (text.empty() ? "" : " ") + std::to_string(position);
    return text;
}

ResultCase readCase(const std::filesystem::path& path)
{
    auto sections = testing_support::sections(path);
    ResultCase c;
    for (const std::string& line : sections["differences"])
        c.summary.differences.push_back(difference(fields(line)));
    if (sections.contains("report")) {
        c.report.emplace();
        for (const std::string& line : sections["report"])
            *c.report += unescaped(line) + "\r\n";
    }
    for (const std::string& line : sections["searches"]) {
        c.searches.emplace_back();
        for (const std::string_view field : fields(line))
            c.searches.back().push_back(unescaped(field));
    }
    for (const std::string& line : sections[""]) {
        std::istringstream words(line);
        std::string option;
        words >> option;
        const auto sides = fields(std::string_view(line).substr(option.size()));
        if (option == "names")
            c.names = {unescaped(sides.at(0)), unescaped(sides.at(1))};
        else if (option == "headers")
            c.headers = {cells(sides.at(0)), cells(sides.at(1))};
        else if (option == "positions")
            c.positions.emplace();
        for (long long position; c.positions && words >> position;)
            c.positions->push_back(static_cast<std::size_t>(position));
    }
    return c;
}

std::vector<Row> tableRows(const table::Table& table)
{
    std::vector<Row> rows{table.headers()};
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        rows.push_back(table.rowStrings(row));
    return rows;
}

// The workbook report of the case, read back through the workbook importer, holds the texts of
// its CSV report.
void expectWorkbookReadsBackAs(const ResultCase& c, const std::vector<std::size_t>& positions, const std::string& csv)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("rowlark-case-" + std::to_string(::getpid()) + ".xlsx");
    const XLSXReport::Details details{c.names[0], c.names[1], c.headers[0], c.headers[1], "", "", "", "", ""};
    ASSERT_TRUE(XLSXReport::write(path, c.summary, details, positions));
    const table::Table workbook =
        workbook::FileImport::readTable(path, "Report", {}, {}, workbook::FileImport::WorkbookReader::native).table;
    std::filesystem::remove(path);
    EXPECT_EQ(tableRows(workbook), tableRows(table::Table::parse(csv)));
}

TEST(ResultCases, reportsAndSearchesGiveTheirExpectedText)
{
    std::size_t cases = 0;
    for (const auto& file : testing_support::dataFiles("results")) {
        if (file.extension() != ".case")
            continue;
        SCOPED_TRACE(file.filename().string());
        const ResultCase c = readCase(file);
        if (c.report) {
            std::vector<std::size_t> all(c.summary.differences.size());
            std::iota(all.begin(), all.end(), 0);
            EXPECT_EQ(ComparisonReport::csv(c.summary, c.names[0], c.names[1], c.headers[0], c.headers[1],
                                            c.positions.value_or(all)),
                      *c.report);
            expectWorkbookReadsBackAs(c, c.positions.value_or(all), *c.report);
        }
        const ResultIndex index(c.summary);
        EXPECT_EQ(index.searchable.size(), c.summary.differences.size());
        for (const auto& search : c.searches) {
            const records::ResultFilter filter = filterNamed(search.at(0));
            const auto found = index.matching(filter, search.at(1));
            EXPECT_EQ(spaced(found), search.at(2)) << search.at(0) << " | " << search.at(1);
            if (search.at(1).empty()) {
                EXPECT_EQ(found, index.positions(filter));
                EXPECT_EQ(index.groups.contains(filter), !found.empty()) << "only filters that select have a group";
            }
        }
        ++cases;
    }
    EXPECT_GE(cases, 13u);
}

TEST(SafeCell, MakesFormulaLikeValuesInertAndLeavesOthersAlone)
{
    const auto lines = testing_support::sections(testing_support::dataFolder("results") / "safe-cells.txt")[""];
    EXPECT_GE(lines.size(), 24u);
    for (const std::string& line : lines)
        EXPECT_EQ(ComparisonReport::safeCell(unescaped(fields(line).at(0))), unescaped(fields(line).at(1))) << line;
}

TEST(ResultIndexPaging, PagesLieInsideTheListOrAreEmpty)
{
    const auto number = [](std::string_view text) {
        using Limits = std::numeric_limits<std::int64_t>;
        return text == "max" ? Limits::max() : text == "min" ? Limits::min() : std::stoll(std::string(text));
    };
    std::vector<std::size_t> positions(10);
    std::iota(positions.begin(), positions.end(), 0);
    const auto lines = testing_support::sections(testing_support::dataFolder("results") / "pages.txt")[""];
    EXPECT_GE(lines.size(), 16u);
    for (const std::string& line : lines) {
        const auto field = fields(line);
        EXPECT_EQ(spaced(ResultIndex::page(positions, number(field.at(0)), number(field.at(1)))), field.at(2)) << line;
    }
}

ResultIndex indexOf(std::vector<records::RowDifference> differences)
{
    records::ComparisonSummary summary;
    summary.differences = std::move(differences);
    return ResultIndex(summary);
}

records::RowDifference onlyLeft(std::string key, Row left)
{
    return {records::UUID::random(), std::move(key), records::DiffStatus::onlyLeft, std::move(left), std::nullopt, {}};
}

TEST(ResultIndexSearch, LargeResultsKeepEachSearchTextWithItsDifference)
{
    std::vector<records::RowDifference> differences;
    for (int i = 0; i < 10'000; ++i)
        differences.push_back(onlyLeft("K" + std::to_string(i), {"V" + std::to_string(i)}));
    const ResultIndex index = indexOf(std::move(differences));
    ASSERT_EQ(index.searchable.size(), 10'000u);
    for (std::size_t i = 0; i < index.searchable.size(); ++i)
        ASSERT_EQ(index.searchable[i], "k" + std::to_string(i) + '\0' + "v" + std::to_string(i));
    EXPECT_EQ(spaced(index.matching(records::ResultFilter::onlyLeft, "v9999")), "9999");
}

TEST(ResultIndexSearch, FindsQueriesOfAnyLengthAtAnyOffset)
{
    const ResultIndex index = indexOf({onlyLeft("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", {})});
    const std::string lower = "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz";
    for (std::size_t length = 1; length <= 40; ++length) {
        for (std::size_t offset = 0; offset + length <= lower.size(); ++offset) {
            std::string query = lower.substr(offset, length);
            ASSERT_EQ(spaced(index.matching(records::ResultFilter::all, query)), "0") << query;
            query.back() = '!';
            ASSERT_EQ(spaced(index.matching(records::ResultFilter::all, query)), "") << query;
        }
    }
}

// Narrowed to one column, the index lists the changed records that differ in it, within the filter
// and the search, and the report of that list holds exactly those records.
TEST(ResultIndexColumns, NarrowToTheRecordsChangedInOneColumn)
{
    using testing_support::mapping;
    const auto left =
        table::Table::parse("id,name,email,city\n1,Ann,a@x,Oslo\n2,Bob,b@x,Rome\n3,Cy,c@x,Lima\n4,Di,d@x,\n");
    const auto right =
        table::Table::parse("id,name,email,city\n1,Ann,a2@x,Oslo\n2,Bobby,b@x,Rome\n3,Cyd,c2@x,Lima\n5,Ed,,\n");
    const records::ComparisonSummary summary =
        compare::compare(left, right, {mapping(0, 0, true), mapping(1, 1), mapping(2, 2), mapping(3, 3)}, false);
    const ResultIndex index(summary);
    constexpr std::size_t name = 1;
    const auto cases = testing_support::sections(testing_support::dataFolder("results") / "changed-columns.txt")[""];
    EXPECT_EQ(cases.size(), 9u);
    for (const std::string& line : cases) {
        const auto field = fields(line);
        const auto column = field.at(2) == "-" ? std::nullopt : std::optional(std::stoul(std::string(field.at(2))));
        EXPECT_EQ(spaced(index.matching(filterNamed(field.at(0)), unescaped(field.at(1)), column)), field.at(3))
            << line;
    }

    const std::string report = ComparisonReport::csv(summary, "a.csv", "b.csv", left.headers(), right.headers(),
                                                     index.matching(records::ResultFilter::all, "", name));
    const auto lines = split(report, '\n');
    ASSERT_EQ(lines.size(), 4u) << report;
    EXPECT_TRUE(lines[1].starts_with(R"("Changed","2","2","Bob")")) << lines[1];
    EXPECT_TRUE(lines[2].starts_with(R"("Changed","3","3","Cy")")) << lines[2];
}

}  // namespace
}  // namespace rowlark::results
