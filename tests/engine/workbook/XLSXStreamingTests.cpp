#include "engine/workbook/FileImport.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "engine/workbook/ImportError.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/support/ZIPWriting.h"

// Sheets whose cells go straight into the rows of the table as they arrive, and sheets that break
// the order this needs, which are read again cell by cell: both read the same.

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;
using testing::Row;
using testing::Rows;

// A workbook of one sheet, `range` its declared range (none when empty) and `rows` the XML of
// its rows; its other parts are in tests/data/workbook/streaming, where style 1 shows 0.0%, style 2
// nothing at all and style 3 a date.
struct SheetFile {
    SheetFile(std::string_view range, const std::string& rows)
    {
        const std::string sheet =
            R"(<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" +
            (range.empty() ? std::string() : "<dimension ref=\"" + std::string(range) + "\"/>") + "<sheetData>" + rows +
            "</sheetData></worksheet>";
        const std::array<const char*, 4> names = {"[Content_Types].xml", "xl/workbook.xml",
                                                  "xl/_rels/workbook.xml.rels", "xl/styles.xml"};
        std::array<std::string, 4> contents;
        std::vector<testing::StoredPart> parts;
        for (std::size_t at = 0; at < names.size(); ++at) {
            contents[at] = testing::fileText(testing::dataFolder() / "workbook" / "streaming" / names[at]);
            parts.push_back({names[at], contents[at]});
        }
        parts.push_back({"xl/worksheets/sheet1.xml", sheet});
        std::ofstream(path, std::ios::binary) << testing::storedArchive(parts);
    }
    ~SheetFile() { fs::remove(path); }

    table::Table read() const
    {
        return FileImport::readTable(path, std::nullopt, FileImport::defaultReaderLocations(), {},
                                     FileImport::WorkbookReader::native)
            .table;
    }

    static inline int count = 0;
    const fs::path path = fs::temp_directory_path() /
                          ("rowlark-streaming-" + std::to_string(::getpid()) + "-" + std::to_string(++count) + ".xlsx");
};

std::string cell(std::string_view reference, std::string_view value, std::string_view attributes = {})
{
    return "<c r=\"" + std::string(reference) + "\"" + std::string(attributes) + "><v>" + std::string(value) +
           "</v></c>";
}

std::string row(int number, const std::string& cells)
{
    return "<row r=\"" + std::to_string(number) + "\">" + cells + "</row>";
}

TEST(XLSXStreaming, CellsInAnyOrderReadTheSame)
{
    const std::string header = row(1, cell("A1", "id", " t=\"str\"") + cell("B1", "share", " t=\"str\""));
    const std::string second = row(2, cell("A2", "1") + cell("B2", "0.25", " s=\"1\""));
    const std::string third = row(3, cell("B3", "0.5", " s=\"1\""));
    const std::pair<const char*, std::string> cases[] = {
        {"in order", header + second + third},
        {"a row before the one above it", header + third + second},
        {"a cell left of the one before it", header + row(2, cell("B2", "0.25", " s=\"1\"") + cell("A2", "1")) + third},
        {"a cell given twice, the later one counting",
         header + second + row(3, cell("B3", "7") + cell("B3", "0.5", " s=\"1\""))},
        {"cells outside the range left out", header + second + row(3, cell("B3", "0.5", " s=\"1\"") + cell("C3", "9"))},
    };
    for (const auto& [what, rows] : cases) {
        const table::Table table = SheetFile("A1:B3", rows).read();
        EXPECT_EQ(table.headers(), (Row{"id", "share"})) << what;
        EXPECT_EQ(testing::rowsOf(table), (Rows{{"1", "25.0%"}, {"", "50.0%"}})) << what;
        ASSERT_TRUE(table.storedNumber(1, 1)) << what;
        EXPECT_EQ(table.storedNumber(1, 1)->value, 0.5) << what;
        EXPECT_FALSE(table.storedNumber(1, 0)) << what;
    }
}

TEST(XLSXStreaming, RowsAfterTheLastTextAreLeftOutAndNumbersShowingNothingKeptBeforeIt)
{
    const std::string rows = row(1, cell("A1", "a", " t=\"str\"") + cell("B1", "b", " t=\"str\"")) +
                             row(2, cell("A2", "5", " s=\"2\"")) + row(4, cell("B4", "x", " t=\"str\"")) +
                             row(5, cell("A5", "6", " s=\"2\"")) + row(6, cell("B6", "", " t=\"str\""));
    for (const std::string_view range : {"A1:B9", ""}) {
        const table::Table table = SheetFile(range, rows).read();
        EXPECT_EQ(testing::rowsOf(table), (Rows{{"", ""}, {"", ""}, {"", "x"}})) << range;
        ASSERT_TRUE(table.storedNumber(0, 0)) << range;
        EXPECT_EQ(table.storedNumber(0, 0)->value, 5) << range;
        EXPECT_FALSE(table.hasNumberCells(1)) << range;
    }
}

TEST(XLSXStreaming, AHeaderAloneOrNoTextAtAllMakesNoRows)
{
    const table::Table header = SheetFile("A1:B5", row(1, cell("B1", "only", " t=\"str\""))).read();
    EXPECT_EQ(header.headers(), (Row{"", "only"}));
    EXPECT_EQ(header.rowCount(), 0u);
    EXPECT_THROW(SheetFile("A1:B5", row(2, cell("A2", "3", " s=\"2\""))).read(), ImportError);
}

// Past the rows that decide which columns keep codes, coded and plain columns read alike.
TEST(XLSXStreaming, ManyRowsOfRepeatedAndDistinctTextsReadWhole)
{
    constexpr int rowCount = 10000;
    std::string rows =
        row(1, cell("A1", "id", " t=\"str\"") + cell("B1", "flag", " t=\"str\"") + cell("C1", "day", " t=\"str\""));
    for (int number = 2; number <= rowCount; ++number) {
        const std::string at = std::to_string(number);
        rows += row(number, cell("A" + at, at) + cell("B" + at, number % 3 == 0 ? "1" : "0", " t=\"b\"") +
                                (number % 5 == 0 ? std::string()
                                                 : cell("C" + at, std::to_string(45000 + number % 7), " s=\"3\"")));
    }
    const table::Table table = SheetFile("A1:C" + std::to_string(rowCount), rows).read();
    ASSERT_EQ(table.rowCount(), std::size_t(rowCount - 1));
    for (const std::size_t index : {0, 4094, 4095, 4096, 9997}) {
        const int number = static_cast<int>(index) + 2;
        EXPECT_EQ(table.cell(index, 0), std::to_string(number));
        EXPECT_EQ(table.cell(index, 1), number % 3 == 0 ? "TRUE" : "FALSE");
        EXPECT_EQ(table.cell(index, 2), number % 5 == 0 ? "" : "2023-03-" + std::to_string(15 + number % 7));
        EXPECT_EQ(table.storedNumber(index, 0)->value, number);
    }
}

}  // namespace
}  // namespace rowlark::workbook
