#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/workbook/FileImport.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/support/XLSWriting.h"

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;
using rowlark::testing::biff8Stream;
using rowlark::testing::cellRecord;
using rowlark::testing::cellStyleRecord;
using rowlark::testing::compoundFile;
using rowlark::testing::Fields;
using rowlark::testing::record;
using rowlark::testing::rkInteger;
using rowlark::testing::XLSSheet;
namespace xls = rowlark::testing::xls;

std::span<const unsigned char> spanOf(const std::string& bytes)
{
    return {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
}

// The payload as lines: the sheet names, then each row's cells joined by "|"; or what ended the
// read.
std::string readText(const std::string& file, const NativeRequest& request = {})
{
    try {
        const std::optional<CompoundFile> compound = CompoundFile::open(spanOf(file));
        if (!compound)
            return "not a compound file";
        const LibraryFormatter formatter = [](const std::vector<LibraryFormatRequest>& requests) {
            return std::vector<std::string>(requests.size(), "library");
        };
        const WorkbookPayload payload = readXLS(*compound, request, formatter, {});
        std::string text;
        for (const std::string& name : payload.sheetNames)
            text += name + ";";
        const auto addRow = [&text](const auto& cells) {
            text += "\n";
            for (std::size_t column = 0; column < cells.size(); ++column)
                text += (column ? "|" : "") + std::string(cells[column]);
        };
        if (payload.rowCount > 0) {
            addRow(payload.firstRow);
            for (std::size_t row = 0; row < payload.laterRows->rowCount(); ++row) {
                std::vector<std::string> cells;
                for (std::size_t column = 0; column < payload.laterRows->width(); ++column)
                    cells.emplace_back(payload.laterRows->cell(row, column));
                addRow(cells);
            }
        }
        return text;
    } catch (const ReadDeclined&) {
        return "declined";
    } catch (const CompoundFileError&) {
        return "damaged";
    } catch (const ImportError& error) {
        return std::string("error: ") + error.what();
    }
}

std::string number(std::uint32_t row, std::uint32_t column, double value, std::uint32_t style = 0)
{
    return cellRecord(xls::number, row, column, style, Fields().number(value));
}

std::string label(std::uint32_t row, std::uint32_t column, std::string_view text, std::uint32_t style = 0)
{
    return cellRecord(xls::label, row, column, style, Fields().text(text));
}

std::string book(const std::vector<XLSSheet>& sheets, const std::string& globals = {})
{
    return compoundFile(biff8Stream(sheets, globals));
}

// Shared strings: "one", then a string whose first half is in the SST record as 8-bit characters
// and whose rest goes on in a CONTINUE record as 16-bit ones.
std::string splitSharedStrings()
{
    const std::string first = Fields().doubleWord(2).doubleWord(2).text("one").word(6).byte(0).raw("abc").bytes();
    const std::string rest = Fields().byte(1).word(u'd').word(0x00E9).word(0x4E2D).bytes();
    return record(xls::sharedStrings, first) + record(xls::continuation, rest);
}

// Cell styles: 0 to 15 in General, for the cells and the built-in styles, then styles 16 on in
// the formats given.
std::string cellStyles(std::initializer_list<std::uint32_t> formatIds)
{
    std::string styles;
    for (int style = 0; style < 16; ++style)
        styles += cellStyleRecord(0);
    for (const std::uint32_t formatId : formatIds)
        styles += cellStyleRecord(formatId);
    return styles;
}

// Styles 16 on: a date, a two-decimal and a percent format.
std::string dateAndNumberStyles(bool isDate1904 = false)
{
    return (isDate1904 ? record(xls::date1904, Fields().word(1).bytes()) : std::string()) +
           record(xls::format, Fields().word(164).text("yyyy\\-mm\\-dd").bytes()) + cellStyles({164, 2, 10});
}

struct ReadCase {
    const char* name;
    std::string file;
    NativeRequest request;
    std::string expected;
};

class XLSReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(XLSReadTest, ReadsAsTheLibraryDoes)
{
    EXPECT_EQ(readText(GetParam().file, GetParam().request), GetParam().expected);
}

const ReadCase readCases[] = {
    {"SheetsInOrderHiddenIncluded",
     book({{"First", label(0, 0, "a")}, {"Hidden", label(0, 0, "h"), 1}, {"Last", label(0, 0, "z")}}),
     {}, "First;Hidden;Last;\na"},
    {"SheetByName",
     book({{"First", label(0, 0, "a")}, {"Hidden", label(0, 0, "h"), 1}}),
     {"Hidden", false}, "First;Hidden;\nh"},
    {"MissingSheet",
     book({{"First", label(0, 0, "a")}}),
     {"Other", false}, "error: The workbook does not contain a sheet named “Other”."},
    {"NamesOnly", book({{"A", ""}, {"B", ""}}), {std::nullopt, true}, "A;B;"},
    {"NumbersInGeneral",
     book({{"S", number(0, 0, 1.5) + number(0, 1, 12345678901.0) +
                cellRecord(xls::rk, 0, 2, 0, Fields().doubleWord(rkInteger(-7))) +
                cellRecord(xls::rk, 0, 3, 0, Fields().doubleWord(rkInteger(1234) | 0x01))}}),
     {}, "S;\n1.5|12345678901|-7|12.34"},
    {"MultipleNumbersInARow",
     book({{"S", label(0, 0, "x") + record(xls::mulRK, Fields().word(1).word(1).word(0).doubleWord(rkInteger(4))
                                                      .word(0).doubleWord(rkInteger(5)).word(2).bytes())}}),
     {}, "S;\nx||\n|4|5"},
    {"BooleansErrorsAndFormulaResults",
     [] {
         const auto formulaValue = [](std::uint32_t column, const Fields& value) {
             return cellRecord(xls::formula, 0, column, 0, Fields().raw(value.bytes()).word(0).doubleWord(0).word(0));
         };
         return book(
             {{"S", cellRecord(xls::boolErr, 0, 0, 0, Fields().byte(1).byte(0)) +
                        cellRecord(xls::boolErr, 0, 1, 0, Fields().byte(0x07).byte(1)) +
                        formulaValue(2, Fields().number(2.25)) +
                        formulaValue(3, Fields().byte(0).raw(std::string(5, '\0')).word(0xFFFF)) +
                        record(xls::string, Fields().text("cached").bytes()) +
                        formulaValue(4, Fields().byte(1).byte(0).byte(0).raw(std::string(3, '\0')).word(0xFFFF)) +
                        formulaValue(5, Fields().byte(2).byte(0).byte(0x2A).raw(std::string(3, '\0')).word(0xFFFF))}});
     }(),
     {}, "S;\nTRUE|#DIV/0!|2.25|cached|FALSE|#N/A"},
    {"SharedStringsAcrossAContinuation",
     book({{"S", cellRecord(xls::labelSST, 0, 0, 0, Fields().doubleWord(0)) +
                cellRecord(xls::labelSST, 0, 1, 0, Fields().doubleWord(1))}}, splitSharedStrings()),
     {}, "S;\none|abcdé中"},
    {"SharedStringCutInsideACharacter",
     book({{"S", cellRecord(xls::labelSST, 0, 0, 0, Fields().doubleWord(0))}},
          record(xls::sharedStrings,
                 Fields().doubleWord(1).doubleWord(1).word(2).byte(1).word(u'a').byte(u'b').bytes()) +
              record(xls::continuation, Fields().byte(1).byte(0).bytes())),
     {}, "declined"},
    {"SharedStringPastTheTable",
     book({{"S", cellRecord(xls::labelSST, 0, 0, 0, Fields().doubleWord(3))}}, splitSharedStrings()),
     {}, "declined"},
    {"FormatsAndDates",
     book({{"S", number(0, 0, 45356, 16) + number(0, 1, 45356.5, 16) + number(0, 2, 1234.5, 17) +
                number(0, 3, 0.125, 18)}}, dateAndNumberStyles()),
     {}, "S;\n2024-03-05|2024-03-05T12:00:00|1234.50|12.50%"},
    {"Dates1904", book({{"S", number(0, 0, 45356 - 1462, 16)}}, dateAndNumberStyles(true)), {}, "S;\n2024-03-05"},
    {"RangeFromDimensionsAndCells",
     book({{"S", record(xls::dimensions, Fields().doubleWord(2).doubleWord(4).word(1).word(3).word(0).bytes()) +
                label(2, 1, "k") + label(2, 2, "v") + label(5, 1, "late")}}),
     {}, "S;\nk|v\n|\n|\nlate|"},
    {"EmptySheet", book({{"S", ""}}), {}, "S;"},
    {"EncryptedWorkbook",
     book({{"S", label(0, 0, "a")}}, record(xls::filePass, Fields().word(0).word(0).word(0).bytes())),
     {}, "declined"},
    {"OlderBIFF",
     compoundFile(record(xls::beginOfFile, Fields().word(0x0400).word(0x0010).bytes()) + record(xls::endOfFile, "")),
     {}, "declined"},
    {"BookStreamOfBIFF5",
     [] {
         const std::string bof = record(xls::beginOfFile, Fields().word(0x0500).word(0x0005).word(0).word(0).bytes());
         const std::string sheetBOF =
             record(xls::beginOfFile, Fields().word(0x0500).word(0x0010).word(0).word(0).bytes());
         const std::string codePage = record(0x0042, Fields().word(1252).bytes());
         const std::string eof = record(xls::endOfFile, "");
         const std::size_t sheetStart = bof.size() + codePage.size() + 4 + 7 + 3 + eof.size();
         const std::string sheetList = record(
             xls::boundSheet,
             Fields().doubleWord(static_cast<std::uint32_t>(sheetStart)).byte(0).byte(0).byte(3).raw("Gr\xFC").bytes());
         const std::string cell = cellRecord(xls::label, 0, 0, 0, Fields().word(4).raw("\x80uro"));
         return compoundFile(bof + codePage + sheetList + eof + sheetBOF + cell + eof, u"Book");
     }(),
     {}, "Grü;\n€uro"},
    {"CommentOnAnEmptyCellAddsOne",
     [] {
         const std::string object = record(
             0x005D, Fields().word(0x15).word(0x12).word(0x19).word(7).word(0).raw(std::string(12, '\0')).bytes());
         const std::string textObject = record(0x01B6, Fields().raw(std::string(18, '\0')).bytes());
         const std::string note = record(0x001C, Fields().word(2).word(2).word(0).word(7).text("me").bytes());
         return book({{"S", label(0, 0, "a") + label(3, 3, "d") + object + textObject + note}});
     }(),
     {}, "S;\na|||\n|||\n|||\n|||d"},
    {"CommentWithoutItsObject",
     book({{"S", label(0, 0, "a") + record(0x001C, Fields().word(0).word(0).word(0).word(9).text("me").bytes())}}),
     {}, "declined"},
    {"TextAndBooleansUnderFormats",
     book({{"S", label(0, 0, "007", 16) + cellRecord(xls::boolErr, 0, 1, 17, Fields().byte(1).byte(0)) +
                number(0, 2, 3, 99)}},
          cellStyles({49, 2})),
     {}, "S;\n007|TRUE|3"},
    {"SheetWithoutDimensionsKeepsThePreviousRange",
     book({{"A", label(2, 2, "c")}, {"B", label(0, 0, "v")}}),
     {"B", false}, "A;B;\nv||"},
    {"LaterSubstreamOfTheSameNameWins",
     book({{"S", label(0, 0, "first")}, {"S", label(0, 0, "second")}}),
     {}, "S;S;\nsecond"},
    {"UnicodeLabelUnderAWindowsCodePage",
     book({{"S", cellRecord(xls::label, 0, 0, 0, Fields().word(2).byte(1).word(0x4E00).word(0x20AC))}},
          record(0x0042, Fields().word(1252).bytes())),
     {}, "S;\nN\xC2\xAC"},
    {"StringWithoutItsFormula", book({{"S", record(xls::string, Fields().text("x").bytes())}}), {}, "declined"},
    {"MultipleNumbersOfTheWrongCount",
     book({{"S", record(xls::mulRK, Fields().word(0).word(0).word(0).doubleWord(rkInteger(1)).word(3).bytes())}}),
     {}, "declined"},
    {"FutureRecordNotRepeatingItsType",
     book({{"S", label(0, 0, "a")}}, record(0x087C, Fields().word(0x1234).raw(std::string(10, '\0')).bytes())),
     {}, "declined"},
    {"DeclaredRangeFarLargerThanItsCells",
     book({{"S", record(xls::dimensions, Fields().doubleWord(0).doubleWord(300000).word(0).word(2).word(0).bytes()) +
                label(0, 0, "k") + label(1, 1, "v")}}),
     {}, "S;\nk|\n|v"},
    {"LargeStreamOutsideTheMiniStream",
     [] {
         std::string cells;
         for (std::uint32_t row = 0; row < 400; ++row)
             cells += number(row, 0, row);
         return book({{"S", cells}});
     }(),
     {},
     [] {
         std::string text = "S;";
         for (int row = 0; row < 400; ++row)
             text += "\n" + std::to_string(row);
         return text;
     }()},
};

// Each case file read as a whole through the importer: natively and by the library alike.
TEST_P(XLSReadTest, ImportsAsTheLibraryImports)
{
    const fs::path path =
        fs::temp_directory_path() / ("rowlark-xls-" + std::to_string(::getpid()) + "-" + GetParam().name + ".xls");
    std::ofstream(path, std::ios::binary) << GetParam().file;
    const auto imported = [&path](FileImport::WorkbookReader reader) {
        try {
            const ImportedTable table =
                FileImport::readTable(path, std::nullopt, FileImport::defaultReaderLocations(), {}, reader);
            return testing::lineOf(table.sheets) + testing::tableText(table.table);
        } catch (const ImportError& error) {
            return std::string("error: ") + error.what();
        }
    };
    EXPECT_EQ(imported(FileImport::WorkbookReader::native), imported(FileImport::WorkbookReader::library));
    fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Cases, XLSReadTest, ::testing::ValuesIn(readCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Where the library's reading is plainly wrong, the native reader shows the cell as a spreadsheet
// does: each case is one mend, and the library's text for it differs.
// Styles 16 on: a time of day, a duration and a two-decimal format.
std::string timeStyles()
{
    return record(xls::format, Fields().word(164).text("hh:mm:ss").bytes()) +
           record(xls::format, Fields().word(165).text("[h]:mm").bytes()) + cellStyles({164, 165, 2});
}

std::string chartSubstream()
{
    return record(xls::beginOfFile, Fields().word(0x0600).word(0x0020).raw(std::string(12, '\0')).bytes()) +
           record(xls::endOfFile, "");
}

const ReadCase mendCases[] = {
    // LibreOffice pads BOOLERR records to nine bytes; the library reads their value from the
    // error flag.
    {"PaddedBooleansAndErrors",
     book({{"S", cellRecord(xls::boolErr, 0, 0, 0, Fields().byte(1).byte(0).byte(0)) +
                cellRecord(xls::boolErr, 0, 1, 0, Fields().byte(0).byte(0).byte(0)) +
                cellRecord(xls::boolErr, 0, 2, 0, Fields().byte(0x07).byte(1).byte(0))}}),
     {}, "S;\nTRUE|FALSE|#DIV/0!"},
    {"NumbersPastTheLargestDouble",
     book({{"S", number(0, 0, std::numeric_limits<double>::infinity()) +
                number(0, 1, -std::numeric_limits<double>::infinity(), 18)}},
          timeStyles()),
     {}, "S;\nINF|-INF"},
    {"TimesAndDurations",
     book({{"S", number(0, 0, 45356.58829861111, 16) + number(0, 1, 2.75, 17)}}, timeStyles()),
     {}, "S;\n14:07:09|66:00"},
    // The library read the chart's numbers as a table.
    {"ChartSheet",
     [] {
         std::string stream = biff8Stream({{"C", number(0, 0, 1) + number(0, 0, 2)}});
         // The sheet's BOF says chart sheet.
         const std::size_t sheetBOF = stream.rfind(std::string("\x09\x08\x10\x00\x00\x06\x10\x00", 8));
         stream[sheetBOF + 6] = 0x20;
         return compoundFile(stream);
     }(),
     {}, "error: The selected sheet is a chart, not a table."},
    {"WorksheetHoldingOnlyAChart",
     book({{"S", chartSubstream()}}),
     {}, "error: The selected sheet is a chart, not a table."},
    {"WorksheetHoldingCellsAndAChart", book({{"S", label(0, 0, "a") + chartSubstream()}}), {}, "S;\na"},
};

class XLSMendTest : public XLSReadTest {};

TEST_P(XLSMendTest, ReadsAsASpreadsheetShowsIt)
{
    EXPECT_EQ(readText(GetParam().file, GetParam().request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Mends, XLSMendTest, ::testing::ValuesIn(mendCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Number cells keep the number the file stores beside their text, as comparison rules read it: a
// General number whose text shows fewer digits, and date serials in either date system.
TEST(XLSStoredNumbers, NumberCellsKeepTheirStoredNumbers)
{
    const LibraryFormatter formatter = [](const std::vector<LibraryFormatRequest>& requests) {
        return std::vector<std::string>(requests.size(), "library");
    };
    for (const bool isDate1904 : {false, true}) {
        const std::string file =
            book({{"S", label(0, 0, "date") + label(0, 1, "share") + label(0, 2, "name") + number(1, 0, 45356.5, 16) +
                            number(1, 1, 1.0 / 3.0, 15) + label(1, 2, "x") + number(2, 1, 1234.5, 17)}},
                 dateAndNumberStyles(isDate1904));
        const std::optional<CompoundFile> compound = CompoundFile::open(spanOf(file));
        ASSERT_TRUE(compound);
        const WorkbookPayload payload = readXLS(*compound, {}, formatter, {});
        ASSERT_TRUE(payload.laterRows);
        const table::CellStore& rows = *payload.laterRows;
        ASSERT_EQ(rows.cell(0, 1), "0.333333333333333");
        const auto stored = [&rows](std::size_t row, std::size_t column) {
            return rows.storedNumbers().at(row, column, rows.cell(row, column));
        };
        ASSERT_TRUE(stored(0, 0));
        EXPECT_EQ(stored(0, 0)->value, 45356.5);
        EXPECT_EQ(stored(0, 0)->isDate1904, isDate1904);
        ASSERT_TRUE(stored(0, 1));
        EXPECT_EQ(stored(0, 1)->value, 1.0 / 3.0);
        EXPECT_EQ(stored(1, 1)->value, 1234.5);
        EXPECT_FALSE(stored(0, 2)) << "a text cell has no number";
        EXPECT_FALSE(stored(1, 0)) << "nor has an empty one";
        EXPECT_FALSE(rows.storedNumbers().hasNumberCells(2));
    }
}

// A compound file whose chains are broken in the ways a damaged or hostile file breaks them.
TEST(CompoundFile, BrokenChainsAreDamageNotHangs)
{
    std::string stream = biff8Stream({{"S", number(0, 0, 1)}});
    stream.resize(5000, '\0');
    const std::string file = compoundFile(stream);
    ASSERT_EQ(readText(file).substr(0, 4), "S;\n1");

    const auto withTableEntry = [&file](std::size_t sector, std::uint32_t next) {
        std::string damaged = file;
        const std::size_t offset = 512 + 4 * sector;
        for (int byte = 0; byte < 4; ++byte)
            damaged[offset + byte] = static_cast<char>((next >> (8 * byte)) & 0xFF);
        return damaged;
    };
    // Sector 1 is the directory, 2 on hold the stream.
    EXPECT_EQ(readText(withTableEntry(3, 2)), "damaged");           // a loop back
    EXPECT_EQ(readText(withTableEntry(3, 0x00FFFFFF)), "damaged");  // past the file
    EXPECT_EQ(readText(withTableEntry(3, 0xFFFFFFFE)), "damaged");  // ends before the stream
    EXPECT_EQ(readText(withTableEntry(1, 1)), "damaged");           // the directory loops

    std::string shortFile = file.substr(0, 700);
    EXPECT_EQ(readText(shortFile), "damaged");
    std::string badVersion = file;
    badVersion[26] = 5;
    EXPECT_EQ(readText(badVersion), "damaged");
    EXPECT_EQ(readText("PK\x03\x04"), "not a compound file");
}

TEST(CompoundFile, FindsTopLevelStreamsIgnoringCase)
{
    const std::string file = compoundFile(biff8Stream({{"S", label(0, 0, "a")}}), u"WORKBOOK");
    const std::optional<CompoundFile> compound = CompoundFile::open(spanOf(file));
    ASSERT_TRUE(compound);
    EXPECT_NE(compound->findTopLevel("Workbook"), nullptr);
    EXPECT_EQ(compound->findTopLevel("Book"), nullptr);
    EXPECT_TRUE(compound->contains("workbook"));
    EXPECT_EQ(readText(file), "S;\na");
}

}  // namespace
}  // namespace rowlark::workbook
