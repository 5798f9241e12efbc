#include "engine/results/XLSXReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <unistd.h>

#include "engine/results/ComparisonReport.h"
#include "engine/table/Table.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/container/ZIPArchive.h"
#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::results {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

// The unescaped fields of the lines of a section of xlsx-report.txt.
std::vector<Row> caseRows(const std::string& section)
{
    std::vector<Row> rows;
    auto sections = testing_support::sections(testing_support::dataFolder("results") / "xlsx-report.txt");
    for (const std::string& line : sections[section]) {
        rows.emplace_back();
        for (const std::string_view field : testing_support::fields(line))
            rows.back().push_back(testing_support::unescaped(field));
    }
    return rows;
}

class XLSXReportTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(folder_); }

    // Writes the report of every difference, in order.
    fs::path write(const records::ComparisonSummary& summary, const Row& leftHeaders, const Row& rightHeaders,
                   std::stop_token stop = {})
    {
        const fs::path path = folder_ / "report.xlsx";
        const XLSXReport::Details details{"a.csv", "b.csv", leftHeaders, rightHeaders, "id", "7 Dec 2026 10:00",
                                          "",      "",      ""};
        isWritten_ = XLSXReport::write(path, summary, details, all(summary), stop);
        return path;
    }

    static std::vector<std::size_t> all(const records::ComparisonSummary& summary)
    {
        std::vector<std::size_t> positions(summary.differences.size());
        std::iota(positions.begin(), positions.end(), 0);
        return positions;
    }

    static workbook::ImportedTable read(const fs::path& path, const std::string& sheet)
    {
        return workbook::FileImport::readTable(path, sheet, workbook::FileImport::ReaderLocations{}, {},
                                               workbook::FileImport::WorkbookReader::native);
    }

    static std::vector<Row> rows(const table::Table& table)
    {
        std::vector<Row> rows{table.headers()};
        for (std::size_t row = 0; row < table.rowCount(); ++row)
            rows.push_back(table.rowStrings(row));
        return rows;
    }

    std::string scratch_ = (fs::temp_directory_path() / "rowlark-xlsx-XXXXXX").string();
    const fs::path folder_ = ::mkdtemp(scratch_.data());
    bool isWritten_ = false;
};

records::RowDifference changed(std::string key, Row left, Row right, std::size_t column)
{
    records::RowDifference difference{records::UUID::random(), std::move(key),   records::DiffStatus::changed,
                                      std::move(left),         std::move(right), {}};
    difference.cells.push_back({records::UUID::random(), "name", "name", "", "", column});
    return difference;
}

records::ComparisonSummary formulaSummary()
{
    records::ComparisonSummary summary;
    summary.columns = {{0, 0, "id", "id", 0}, {1, 1, "name", "name", 3}};
    summary.differences = {changed("1", {"1", "=1+1"}, {"1", "+A1"}, 1),
                           changed("2", {"2", "@SUM(A1)"}, {"2", "-2"}, 1),
                           changed("=3", {"=3", "x\ty"}, {"=3", " ≠ é 😀 שלום"}, 1),
                           changed("5", {"5", "a\r\nb\rc"}, {"5", "x\x01y\x1Fz"}, 1),
                           {records::UUID::random(), "4", records::DiffStatus::onlyRight, std::nullopt, Row{"4"}, {}}};
    summary.leftRows = 3;
    summary.rightRows = 4;
    return summary;
}

// Read back through the workbook importer, the report sheet holds the texts of the CSV report.
TEST_F(XLSXReportTest, ReadsBackAsTheCSVReport)
{
    const Row headers{"id", "name"};
    const records::ComparisonSummary summary = formulaSummary();
    const fs::path path = write(summary, headers, headers);
    ASSERT_TRUE(isWritten_);
    const workbook::ImportedTable report = read(path, "Report");
    EXPECT_EQ(workbook::sheetNames(report.sheets), (Row{"Report", "Summary"}));
    const table::Table csv =
        table::Table::parse(ComparisonReport::csv(summary, "a.csv", "b.csv", headers, headers, all(summary)));
    EXPECT_EQ(rows(report.table), rows(csv));
}

// Formula-like values are string cells: the sheet holds no formula and no number.
TEST_F(XLSXReportTest, EveryCellIsAString)
{
    const fs::path path = write(formulaSummary(), {"id", "name"}, {"id", "name"});
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto archive =
        workbook::ZIPArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(archive);
    for (const std::string name : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"}) {
        const workbook::ZIPEntry* entry = archive->find(name);
        ASSERT_NE(entry, nullptr) << name;
        const std::string sheet = archive->readAll(*entry);
        EXPECT_EQ(sheet.find("<f>"), std::string::npos) << name;
        EXPECT_EQ(sheet.find("<v>"), std::string::npos) << name;
        EXPECT_NE(sheet.find("t=\"inlineStr\""), std::string::npos) << name;
    }
}

TEST_F(XLSXReportTest, SummaryNamesTheFilesKeyCountsAndChangedColumns)
{
    records::ComparisonSummary changes = formulaSummary();
    changes.columns.push_back({2, 3, "", "", 2});
    changes.columns.push_back({3, 2, "cost", "price", 1});
    const fs::path path = write(changes, {"id", "name"}, {"id", "name"});
    const workbook::ImportedTable summary = read(path, "Summary");
    EXPECT_EQ(rows(summary.table), caseRows("summary"));
}

TEST_F(XLSXReportTest, SummaryNamesWhatSelectedTheRows)
{
    const Row headers{"id", "name"};
    const records::ComparisonSummary summary = formulaSummary();
    XLSXReport::write(folder_ / "selected.xlsx", summary,
                      {"a.csv", "b.csv", headers, headers, "id", "", "Changed rows", "ann", "name"}, all(summary));
    const std::vector<Row> lines = rows(read(folder_ / "selected.xlsx", "Summary").table);
    const std::vector<Row> selection(lines.begin() + 12, lines.begin() + 15);
    EXPECT_EQ(selection, caseRows("selection"));
}

// A cell holds 32,767 characters as the spreadsheet counts them, in UTF-16 units: a longer value is
// cut between two characters to end in "…" within that, and the Summary says how many were.
TEST_F(XLSXReportTest, ValuesLongerThanACellHoldsAreCutToEndInAnEllipsis)
{
    const std::string emoji = "\U0001F600";
    const std::string ellipsis = "\u2026";
    std::string accented;
    for (int character = 0; character < 32'767; ++character)
        accented += "\u00E9";
    const std::vector<std::pair<std::string, std::string>> cases{
        {std::string(32'767, 'a'), std::string(32'767, 'a')},
        {std::string(1'000'000, 'b'), std::string(32'766, 'b') + ellipsis},
        {std::string(32'766, 'c') + emoji + emoji, std::string(32'766, 'c') + ellipsis},
        {std::string(32'765, 'd') + emoji, std::string(32'765, 'd') + emoji},
        {std::string(32'764, 'e') + emoji + "ee", std::string(32'764, 'e') + emoji + ellipsis},
        {accented, accented},
        {"=" + std::string(40'000, 'f'), "'=" + std::string(32'764, 'f') + ellipsis},
    };
    for (const auto& [value, kept] : cases) {
        records::ComparisonSummary summary;
        summary.differences = {
            {records::UUID::random(), "1", records::DiffStatus::onlyLeft, Row{"1", value}, std::nullopt, {}}};
        XLSXReport::Alterations alterations;
        ASSERT_TRUE(XLSXReport::write(folder_ / "long.xlsx", summary,
                                      {"a.csv", "b.csv", {"id", "note"}, {"id", "note"}, "id", "", "", "", ""},
                                      all(summary), {}, &alterations));
        EXPECT_EQ(read(folder_ / "long.xlsx", "Report").table.cell(0, 3), kept) << value.size();
        const bool isCut = kept != value && kept != "'" + value;
        EXPECT_EQ(alterations.cutCells, isCut ? 1u : 0u) << value.size();
        const std::vector<Row> lines = rows(read(folder_ / "long.xlsx", "Summary").table);
        const bool saysCut = std::ranges::any_of(lines, [](const Row& line) {
            return line == Row{"Cells cut at 32,767 characters",
                               "1 (each ends in \u2026; the CSV report holds the whole values)"};
        });
        EXPECT_EQ(saysCut, isCut) << value.size();
    }
}

// Both reports count the values they made inert, the header line's included.
TEST_F(XLSXReportTest, BothReportsCountTheFormulaLikeValues)
{
    const Row headers{"id", "name"};
    const records::ComparisonSummary summary = formulaSummary();
    XLSXReport::Alterations alterations;
    XLSXReport::write(folder_ / "formulas.xlsx", summary, {"a.csv", "b.csv", headers, headers, "id", "", "", "", ""},
                      all(summary), {}, &alterations);
    std::size_t escaped = 0;
    ComparisonReport::csv(summary, "a.csv", "b.csv", headers, headers, all(summary), &escaped);
    EXPECT_EQ(alterations.escapedFields, 7u);
    EXPECT_EQ(escaped, 7u);
    ComparisonReport::csv(summary, "a.csv", "b.csv", headers, headers, {}, &escaped);
    EXPECT_EQ(escaped, 0u);
    ComparisonReport::csv(summary, "=a.csv", "b.csv", headers, headers, {}, &escaped);
    EXPECT_EQ(escaped, 2u) << "the header fields named after File A";
}

TEST_F(XLSXReportTest, MoreColumnsThanASheetHoldsFailWithAMessage)
{
    const Row headers(8'192, "h");
    try {
        write(formulaSummary(), headers, headers);
        ADD_FAILURE() << "written";
    } catch (const XLSXReport::WorkbookError& error) {
        EXPECT_STREQ(error.what(),
                     "The report has more columns than a workbook sheet holds; export it as CSV instead.");
    }
    EXPECT_FALSE(fs::exists(folder_ / "report.xlsx"));
}

TEST_F(XLSXReportTest, AStopRequestLeavesNoFile)
{
    std::stop_source stop;
    stop.request_stop();
    const fs::path path = write(formulaSummary(), {"id", "name"}, {"id", "name"}, stop.get_token());
    EXPECT_FALSE(isWritten_);
    EXPECT_FALSE(fs::exists(path));
}

TEST(WorksheetNames, AreValidAndUnique)
{
    std::vector<XLSXReport::SheetReport> pairs;
    std::vector<std::string> expected;
    const Row headers{"id"};
    for (const Row& names : caseRows("worksheet names")) {
        pairs.push_back(
            {{names[0], false}, {names[0], false}, nullptr, {"a", "b", headers, headers, "", "", "", "", ""}, {}, ""});
        expected.push_back(names[1]);
    }
    EXPECT_EQ(XLSXReport::worksheetNames(pairs), expected);
}

}  // namespace
}  // namespace rowlark::results
