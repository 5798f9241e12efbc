#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compare/RecordMatching.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/NativeReader.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/support/ZIPWriting.h"

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;

// --- files written here ---

// A table:table-cell element with its attributes and one paragraph.
std::string odsCell(std::string_view attributes, std::string_view paragraph)
{
    return "<table:table-cell " + std::string(attributes) + "><text:p>" + std::string(paragraph) +
           "</text:p></table:table-cell>";
}

std::string odsTextCell(std::string_view text)
{
    return odsCell("office:value-type=\"string\"", text);
}

std::string odsRow(std::string_view cells)
{
    return "<table:table-row>" + std::string(cells) + "</table:table-row>";
}

// A part the files written here share, from tests/data/workbook/stored-values.
std::string fixedPart(const std::string& name)
{
    return testing::fileText(testing::dataFolder() / "workbook" / "stored-values" / name);
}

// An ODS file of one sheet of the given table:table-row elements. Style "ce1" has a number style, so
// its cells show their paragraphs; a `nullDate` is written as the document's own.
std::string odsFile(const std::vector<std::string>& rows, std::string_view nullDate = {})
{
    const std::string manifest = fixedPart("META-INF/manifest.xml");
    // Its styles and the start of its body.
    std::string content = fixedPart("content-start.xml");
    if (!nullDate.empty())
        content += "<table:calculation-settings><table:null-date table:date-value=\"" + std::string(nullDate) +
                   "\"/></table:calculation-settings>";
    content += "<table:table table:name=\"Sheet1\">";
    for (const std::string& row : rows)
        content += row;
    content += "</table:table></office:spreadsheet></office:body></office:document-content>";
    return testing::storedArchive({{"META-INF/manifest.xml", manifest}, {"content.xml", content}});
}

// An XLSX file of one sheet, an id and a value: the `<c>` element of cell B2 is given.
std::string xlsxFile(std::string_view valueCell)
{
    const std::string types = fixedPart("[Content_Types].xml");
    const std::string workbook = fixedPart("xl/workbook.xml");
    const std::string relations = fixedPart("xl/_rels/workbook.xml.rels");
    const std::string sheet =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row r=\"1\"><c r=\"A1\" "
        "t=\"str\"><v>id</v></c><c r=\"B1\" t=\"str\"><v>value</v></c></row><row r=\"2\"><c r=\"A2\" "
        "t=\"str\"><v>1</v></c>" +
        std::string(valueCell) + "</row></sheetData></worksheet>";
    return testing::storedArchive({{"[Content_Types].xml", types},
                                   {"xl/workbook.xml", workbook},
                                   {"xl/_rels/workbook.xml.rels", relations},
                                   {"xl/worksheets/sheet1.xml", sheet}});
}

// The file read natively as a table; the file is written to a scratch path and removed.
table::Table tableOf(const std::string& bytes, const std::string& extension)
{
    static int count = 0;
    const fs::path path = fs::temp_directory_path() /
                          ("rowlark-stored-" + std::to_string(::getpid()) + "-" + std::to_string(++count) + extension);
    std::ofstream(path, std::ios::binary) << bytes;
    table::Table table = FileImport::readTable(path, std::nullopt, FileImport::defaultReaderLocations(), {},
                                               FileImport::WorkbookReader::native)
                             .table;
    fs::remove(path);
    return table;
}

// --- what the reader keeps ---

constexpr std::string_view generalThird = "office:value-type=\"float\" office:value=\"0.3333333333\"";

// Number, date and time cells keep the value the file stores beside their text: a date as a serial
// of the 1900 date system (from 1900-03-01 on, where its serials count from 1899-12-30), a time as
// its duration in days. Texts, yes/no values, numbers past the largest double and undated dates
// keep none.
TEST(StoredODSValues, NumberDateAndTimeCellsKeepTheirStoredValues)
{
    const std::vector<testing::Row> cases = testing::tabSeparatedCases("workbook/stored-ods-values.tsv");
    std::vector<std::string> rows = {odsRow(odsTextCell("value"))};
    for (const testing::Row& entry : cases)
        rows.push_back(odsRow(odsCell(entry[1], entry[2])));
    const table::Table table = tableOf(odsFile(rows), ".ods");
    ASSERT_EQ(cases.size(), 15u);
    ASSERT_EQ(table.rowCount(), cases.size());
    ASSERT_TRUE(table.hasNumberCells(0));
    for (std::size_t row = 0; row < cases.size(); ++row) {
        const testing::Row& entry = cases[row];
        EXPECT_EQ(table.cell(row, 0), entry[3]) << entry[0];
        const auto stored = table.storedNumber(row, 0);
        EXPECT_EQ(stored.has_value(), !entry[4].empty()) << entry[0];
        if (stored && !entry[4].empty()) {
            EXPECT_DOUBLE_EQ(stored->value, std::stod(entry[4])) << entry[0];
            EXPECT_FALSE(stored->isDate1904) << entry[0];
        }
    }
}

// A null date of 1904-01-01 is the 1904 date system; any other counts in the 1900 one.
TEST(StoredODSValues, DatesCountFromTheDocumentsNullDate)
{
    const std::string date = odsCell("office:value-type=\"date\" office:date-value=\"2024-03-05T12:00:00\"", "x");
    struct NullDateCase {
        std::string_view nullDate;
        double serial;
        bool isDate1904;
    };
    for (const auto& [nullDate, serial, isDate1904] : std::vector<NullDateCase>{
             {"1904-01-01", 45356.5 - 1462, true}, {"1899-12-30", 45356.5, false}, {"1900-01-01", 45356.5, false}}) {
        const table::Table table = tableOf(odsFile({odsRow(odsTextCell("when")), odsRow(date)}, nullDate), ".ods");
        const auto stored = table.storedNumber(0, 0);
        ASSERT_TRUE(stored) << nullDate;
        EXPECT_EQ(stored->value, serial) << nullDate;
        EXPECT_EQ(stored->isDate1904, isDate1904) << nullDate;
    }
}

// A null date that comes after dates were counted in the other date system is left to the library.
TEST(StoredODSValues, ALateNullDateOfTheOtherSystemIsDeclined)
{
    const std::string date = odsRow(odsCell("office:value-type=\"date\" office:date-value=\"2024-03-05\"", "x"));
    const std::string lateNullDate =
        "<table:calculation-settings><table:null-date table:date-value=\"1904-01-01\"/></table:calculation-settings>";
    const std::string bytes = odsFile(
        {odsRow(odsTextCell("when")), date + "</table:table>" + lateNullDate + "<table:table table:name=\"Sheet2\">"});
    std::optional<ZIPArchive> archive =
        ZIPArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(archive);
    EXPECT_THROW(readODS(*archive, {}, {}), ReadDeclined);
}

// A cell repeated down rows and across columns keeps its value in every copy.
TEST(StoredODSValues, RepeatedCellsKeepTheirValueInEveryCopy)
{
    const std::string repeated =
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell table:number-columns-repeated=\"3\" " +
        std::string(generalThird) + "><text:p>0.333333333</text:p></table:table-cell></table:table-row>";
    const table::Table table = tableOf(
        odsFile({odsRow(odsTextCell("a") + odsTextCell("b") + odsTextCell("c")), repeated, odsRow(odsTextCell("end"))}),
        ".ods");
    ASSERT_EQ(table.rowCount(), 3u);
    for (std::size_t row = 0; row < 2; ++row)
        for (std::size_t column = 0; column < 3; ++column) {
            const auto stored = table.storedNumber(row, column);
            ASSERT_TRUE(stored) << row << ", " << column;
            EXPECT_EQ(stored->value, 0.3333333333);
        }
    EXPECT_FALSE(table.storedNumber(2, 0));
}

// --- what the rules compare ---

// One record a side, keyed by id: whether its value is reported changed under the rule. B holds an
// ODS cell element, a CSV field or the <c> element of an XLSX.
TEST(StoredODSValues, RulesCompareTheStoredValues)
{
    const auto odsOfValue = [](const std::string& cell, std::string_view nullDate) {
        return odsFile({odsRow(odsTextCell("id") + odsTextCell("value")), odsRow(odsTextCell("1") + cell)}, nullDate);
    };
    const std::vector<testing::Row> cases = testing::tabSeparatedCases("workbook/stored-ods-rules.tsv");
    ASSERT_EQ(cases.size(), 27u);
    for (const testing::Row& entry : cases) {
        const table::Table a = tableOf(odsOfValue(odsCell(entry[1], entry[2]), entry[3]), ".ods");
        const std::string& formatB = entry[4];
        const table::Table b = formatB == "ods"   ? tableOf(odsOfValue(entry[5], {}), ".ods")
                               : formatB == "csv" ? tableOf("id,value\n1," + entry[5] + "\n", ".csv")
                                                  : tableOf(xlsxFile(entry[5]), ".xlsx");
        records::ColumnMapping key{records::UUID::random(), 0, 0, true, false, true};
        records::ColumnMapping value{records::UUID::random(), 1, 1, false, false, true};
        value.rule = values::ComparisonRule::fromText(entry[6]);
        const records::ComparisonSummary summary = compare::compare(a, b, {key, value}, false, 1);
        ASSERT_LE(summary.differences.size(), 1u) << entry[0];
        EXPECT_EQ(summary.differences.size() == 1, entry[7] == "changed")
            << entry[0] << ": " << a.cell(0, 1) << " against " << b.cell(0, 1);
        if (!summary.differences.empty()) {
            EXPECT_EQ(summary.differences.front().status, records::DiffStatus::changed) << entry[0];
        }
    }
}

}  // namespace
}  // namespace rowlark::workbook
