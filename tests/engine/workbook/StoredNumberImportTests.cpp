#include "engine/workbook/FileImport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;

table::Table nativeTable(const std::string& name)
{
    const fs::path path = fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures" / name;
    return FileImport::readTable(path, std::nullopt, FileImport::defaultReaderLocations(), {},
                                 FileImport::WorkbookReader::native)
        .table;
}

// The dates sheet: 45356 as yyyy-mm-dd, 45356.5 as yyyy-mm-dd hh:mm, 1234.5 as #,##0.00 and
// 45356.25 as m/d/yy h:mm:ss.
TEST(StoredNumberImport, anXLSXNumberCellKeepsItsNumberBesideItsText)
{
    const table::Table dates = nativeTable("dates.xlsx");
    ASSERT_EQ(dates.rowCount(), 4u);
    ASSERT_TRUE(dates.hasNumberCells(0));
    const double expected[] = {45356, 45356.5, 1234.5, 45356.25};
    for (std::size_t row = 0; row < dates.rowCount(); ++row) {
        const auto number = dates.storedNumber(row, 0);
        ASSERT_TRUE(number) << row;
        EXPECT_EQ(number->value, expected[row]) << dates.cell(row, 0);
        EXPECT_FALSE(number->isDate1904);
    }
    const auto early = nativeTable("dates-1904.xlsx").storedNumber(0, 0);
    ASSERT_TRUE(early);
    EXPECT_EQ(early->value, 45356 - 1462);
    EXPECT_TRUE(early->isDate1904);
}

TEST(StoredNumberImport, textCellsAndOtherFilesHaveNoStoredNumbers)
{
    const table::Table readings = nativeTable("readings.xlsx");
    ASSERT_EQ(readings.headers()[1], "Name");
    EXPECT_FALSE(readings.hasNumberCells(1));
    EXPECT_FALSE(readings.storedNumber(0, 1));
    ASSERT_EQ(readings.headers()[4], "Count");
    EXPECT_FALSE(readings.storedNumber(4, 4)) << "a gap in the counts is no number cell";
    EXPECT_EQ(readings.storedNumber(0, 4)->value, std::stod(std::string(readings.cell(0, 4))));
    const table::Table csv = nativeTable("people.csv");
    for (std::size_t column = 0; column < csv.columnCount(); ++column)
        EXPECT_FALSE(csv.hasNumberCells(column));
}

}  // namespace
}  // namespace rowlark::workbook
