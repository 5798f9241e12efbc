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

// An ODS file of one sheet of the given table:table-row elements. Style "ce1" has a number style, so
// its cells show their paragraphs; a `nullDate` is written as the document's own.
std::string odsFile(const std::vector<std::string>& rows, std::string_view nullDate = {})
{
    constexpr std::string_view manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"><manifest:file-entry "
        "manifest:full-path=\"/\" manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
        "</manifest:manifest>";
    std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\"><office:automatic-styles>"
        "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:parent-style-name=\"Default\" "
        "style:data-style-name=\"N2\"/></office:automatic-styles><office:body><office:spreadsheet>";
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
    constexpr std::string_view types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
        "ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";
    constexpr std::string_view workbook =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets><sheet "
        "name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    constexpr std::string_view relations =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/></Relationships>";
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

struct StoredCase {
    std::string_view name;
    std::string cell;
    std::string_view text;  // as read
    std::optional<double> stored;
};

// Number, date and time cells keep the value the file stores beside their text: a date as a serial
// of the 1900 date system (from 1900-03-01 on, where its serials count from 1899-12-30), a time as
// its duration in days. Texts, yes/no values, numbers past the largest double and undated dates
// keep none.
TEST(StoredODSValues, NumberDateAndTimeCellsKeepTheirStoredValues)
{
    const std::vector<StoredCase> cases = {
        {"General number", odsCell(generalThird, "0.333333333"), "0.3333333333", 0.3333333333},
        {"number showing fewer digits", odsCell("table:style-name=\"ce1\" " + std::string(generalThird), "0.333333333"),
         "0.333333333", 0.3333333333},
        {"shortest number", odsCell("office:value-type=\"float\" office:value=\"63490\"", "63490"), "63490", 63490},
        {"percentage",
         odsCell("table:style-name=\"ce1\" office:value-type=\"percentage\" office:value=\"0.0165\"", "1.7%"), "1.7%",
         0.0165},
        {"currency",
         odsCell(
             "table:style-name=\"ce1\" office:value-type=\"currency\" office:currency=\"EUR\" office:value=\"-9100.3\"",
             "-9 100,30 €"),
         "-9 100,30 €", -9100.3},
        {"date", odsCell("office:value-type=\"date\" office:date-value=\"2024-03-05\"", "05/03/24"), "2024-03-05",
         45356},
        {"date and time", odsCell("office:value-type=\"date\" office:date-value=\"2024-03-05T18:00:00.5\"", "x"),
         "2024-03-05T18:00:00", 45356.75 + 0.5 / 86400},
        {"first day of the 1900 system", odsCell("office:value-type=\"date\" office:date-value=\"1900-03-01\"", "x"),
         "1900-03-01", 61},
        {"day before it", odsCell("office:value-type=\"date\" office:date-value=\"1900-02-28\"", "x"), "1900-02-28",
         std::nullopt},
        {"unread date", odsCell("office:value-type=\"date\" office:date-value=\"1e308\"", "#VALUE"), "#VALUE",
         std::nullopt},
        {"time", odsCell("office:value-type=\"time\" office:time-value=\"PT36H00M01.5S\"", "36:00:01"), "36:00:01",
         1.5 + 1.5 / 86400},
        {"negative time", odsCell("office:value-type=\"time\" office:time-value=\"-PT06H\"", "-06:00"), "-06:00",
         -0.25},
        {"yes/no", odsCell("office:value-type=\"boolean\" office:boolean-value=\"true\"", "TRUE"), "TRUE",
         std::nullopt},
        {"text of digits", odsTextCell("12"), "12", std::nullopt},
        {"past the largest double", odsCell("office:value-type=\"float\" office:value=\"INF\"", "INF"), "INF",
         std::nullopt},
    };
    std::vector<std::string> rows = {odsRow(odsTextCell("value"))};
    for (const StoredCase& entry : cases)
        rows.push_back(odsRow(entry.cell));
    const table::Table table = tableOf(odsFile(rows), ".ods");
    ASSERT_EQ(table.rowCount(), cases.size());
    ASSERT_TRUE(table.hasNumberCells(0));
    for (std::size_t row = 0; row < cases.size(); ++row) {
        const StoredCase& entry = cases[row];
        EXPECT_EQ(table.cell(row, 0), entry.text) << entry.name;
        const auto stored = table.storedNumber(row, 0);
        EXPECT_EQ(stored.has_value(), entry.stored.has_value()) << entry.name;
        if (stored && entry.stored) {
            EXPECT_DOUBLE_EQ(stored->value, *entry.stored) << entry.name;
            EXPECT_FALSE(stored->isDate1904) << entry.name;
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

enum class Format { ods, csv, xlsx };

struct RuleCase {
    std::string_view name;
    std::string cellA;  // an ODS cell element
    Format formatB;
    std::string cellB;  // an ODS cell element, a CSV field or an XLSX <c> element
    std::string_view rule;
    bool isChanged;
    std::string_view nullDateA = {};
};

table::Table fileB(const RuleCase& entry)
{
    switch (entry.formatB) {
    case Format::ods:
        return tableOf(
            odsFile({odsRow(odsTextCell("id") + odsTextCell("value")), odsRow(odsTextCell("1") + entry.cellB)}),
            ".ods");
    case Format::csv:
        return tableOf("id,value\n1," + entry.cellB + "\n", ".csv");
    case Format::xlsx:
        return tableOf(xlsxFile(entry.cellB), ".xlsx");
    }
    return {};
}

// One record a side, keyed by id: whether its value is reported changed under the rule.
TEST(StoredODSValues, RulesCompareTheStoredValues)
{
    // Nine places, as a number style shows them.
    const std::string third = odsCell("table:style-name=\"ce1\" " + std::string(generalThird), "0.333333333");
    const std::string nextThird =
        odsCell("table:style-name=\"ce1\" office:value-type=\"float\" office:value=\"0.3333333334\"", "0.333333333");
    const std::string percentage =
        odsCell("table:style-name=\"ce1\" office:value-type=\"percentage\" office:value=\"0.0165\"", "1.7%");
    const std::string currency = odsCell(
        "table:style-name=\"ce1\" office:value-type=\"currency\" office:currency=\"USD\" office:value=\"9100.3\"",
        "$9,100");
    const std::string day = odsCell("office:value-type=\"date\" office:date-value=\"2024-03-05\"", "05/03/24");
    const std::string instant =
        odsCell("office:value-type=\"date\" office:date-value=\"2024-03-05T12:00:00.5\"", "05/03/24 12:00");
    const std::string early = odsCell("office:value-type=\"date\" office:date-value=\"1900-01-15\"", "15/01/00");
    const std::string time = odsCell("office:value-type=\"time\" office:time-value=\"PT12H30M00S\"", "12:30:00");
    const std::string roundedThird = odsCell("table:style-name=\"ce1\" " + std::string(generalThird), "0.33");
    const std::string flag = odsCell("office:value-type=\"boolean\" office:boolean-value=\"true\"", "TRUE");
    const std::vector<RuleCase> cases = {
        {"texts alike, as read", third, Format::ods, nextThird, "as-read", false},
        {"texts alike, as numbers", third, Format::ods, nextThird, "number", true},
        {"within the tolerance's bound", third, Format::ods, nextThird, "number:abs=0.0000000001", false},
        {"past the tolerance", third, Format::ods, nextThird, "number:abs=0.00000000009", true},
        {"relative tolerance", third, Format::ods, nextThird, "number:rel=0.000000001", false},
        {"percentage against its fraction", percentage, Format::csv, "0.0165", "number", false},
        {"percentage against a percent text", percentage, Format::csv, "1.65%", "number", false},
        {"percentage as read", percentage, Format::csv, "1.65%", "as-read", true},
        {"currency against its amount", currency, Format::csv, "9100.30", "number", false},
        {"currency against another amount", currency, Format::csv, "9100.31", "number", true},
        {"currency within a tolerance", currency, Format::csv, "9100.31", "number:abs=0.01", false},
        {"date as a day", day, Format::csv, "2024-03-05", "date", false},
        {"date as an instant", day, Format::csv, "2024-03-05 00:00:00", "datetime", false},
        {"date against another day", day, Format::csv, "2024-03-06", "date", true},
        {"date as the serial of an XLSX", day, Format::xlsx, "<c r=\"B2\"><v>45356</v></c>", "number", false},
        {"date and time as a day", instant, Format::csv, "2024-03-05", "date", false},
        {"date and time with its fraction", instant, Format::csv, "2024-03-05 12:00:00.5", "datetime", false},
        {"date and time without it", instant, Format::csv, "2024-03-05 12:00:00", "datetime", true},
        {"date and time within seconds", instant, Format::csv, "2024-03-05T12:00:01", "datetime:seconds=0.5", false},
        {"date and time past them", instant, Format::csv, "2024-03-05T12:00:01", "datetime:seconds=0.4", true},
        {"date and time in the 1904 system", instant, Format::csv, "2024-03-05 12:00:00.5", "datetime", false,
         "1904-01-01"},
        {"day before the 1900 system's serials", early, Format::csv, "1900-01-15", "date", false},
        {"time as an XLSX time", time, Format::xlsx, "<c r=\"B2\"><v>0.52083333333333337</v></c>", "datetime", false},
        {"time against another", time, Format::xlsx, "<c r=\"B2\"><v>0.5</v></c>", "datetime", true},
        {"ODS against XLSX, as numbers", roundedThird, Format::xlsx, "<c r=\"B2\"><v>0.3333333333</v></c>", "number",
         false},
        {"ODS against XLSX, as read", roundedThird, Format::xlsx, "<c r=\"B2\"><v>0.3333333333</v></c>", "as-read",
         true},
        {"yes/no keeps its text", flag, Format::csv, "TRUE", "number", false},
    };
    for (const RuleCase& entry : cases) {
        const table::Table a =
            tableOf(odsFile({odsRow(odsTextCell("id") + odsTextCell("value")), odsRow(odsTextCell("1") + entry.cellA)},
                            entry.nullDateA),
                    ".ods");
        const table::Table b = fileB(entry);
        records::ColumnMapping key{records::UUID::random(), 0, 0, true, false, true};
        records::ColumnMapping value{records::UUID::random(), 1, 1, false, false, true};
        value.rule = values::ComparisonRule::fromText(entry.rule);
        const records::ComparisonSummary summary = compare::compare(a, b, {key, value}, false, 1);
        ASSERT_LE(summary.differences.size(), 1u) << entry.name;
        EXPECT_EQ(summary.differences.size() == 1, entry.isChanged)
            << entry.name << ": " << a.cell(0, 1) << " against " << b.cell(0, 1);
        if (!summary.differences.empty()) {
            EXPECT_EQ(summary.differences.front().status, records::DiffStatus::changed) << entry.name;
        }
    }
}

}  // namespace
}  // namespace rowlark::workbook
