#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/workbook/FileImport.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/engine/workbook/SheetsText.h"
#include "tests/support/CaseText.h"
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
        for (const workbook::SheetEntry& sheet : payload.sheets)
            text += sheet.name + (sheet.isHidden ? " [hidden];" : ";");
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

// Cell styles: 0 to 15 in General, for the cells and the built-in styles, then styles 16 on in
// the formats given.
std::string cellStyles(const std::vector<std::uint32_t>& formatIds)
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
    std::string name;
    std::string file;
    NativeRequest request;
    std::string expected;
    bool isMend = false;
};

// The record types workbook/xls-cases.txt names; others it writes as numbers.
std::uint16_t recordType(const std::string& name)
{
    static const std::map<std::string, std::uint16_t> types = {
        {"bof", xls::beginOfFile},
        {"eof", xls::endOfFile},
        {"boundSheet", xls::boundSheet},
        {"codePage", 0x0042},
        {"sst", xls::sharedStrings},
        {"continue", xls::continuation},
        {"format", xls::format},
        {"date1904", xls::date1904},
        {"filePass", xls::filePass},
        {"dimensions", xls::dimensions},
        {"label", xls::label},
        {"labelSST", xls::labelSST},
        {"number", xls::number},
        {"rk", xls::rk},
        {"mulRK", xls::mulRK},
        {"boolErr", xls::boolErr},
        {"formula", xls::formula},
        {"string", xls::string},
        {"note", 0x001C},
        {"obj", 0x005D},
        {"txo", 0x01B6},
    };
    const auto known = types.find(name);
    return known != types.end() ? known->second : static_cast<std::uint16_t>(std::stoul(name, nullptr, 0));
}

// The FIELDs of a line of workbook/xls-cases.txt, KIND:VALUE each.
Fields fieldsOf(std::istream& words)
{
    Fields fields;
    for (std::string word; words >> word;) {
        const std::string kind = word.substr(0, word.find(':'));
        const std::string value = testing::unescaped(word.substr(kind.size() + 1));
        const auto integer = [&value] { return static_cast<std::uint32_t>(std::stol(value, nullptr, 0)); };
        if (kind == "b")
            fields.byte(integer());
        else if (kind == "w")
            fields.word(integer());
        else if (kind == "d")
            fields.doubleWord(integer());
        else if (kind == "rk" || kind == "rk/100")
            fields.doubleWord(rkInteger(std::stoi(value)) | (kind == "rk/100" ? 0x01 : 0x00));
        else if (kind == "n")
            fields.number(std::stod(value));
        else if (kind == "t")
            fields.text(value);
        else if (kind == "u")
            fields.raw(value);
        else if (kind == "z")
            fields.raw(std::string(integer(), '\0'));
        else
            throw std::invalid_argument("xls-cases.txt: no field " + word);
    }
    return fields;
}

// A stream past 4096 bytes, which the compound file keeps outside its mini stream: a number a row.
ReadCase largeStreamCase()
{
    ReadCase test{"LargeStreamOutsideTheMiniStream", {}, {}, "S;"};
    std::string cells;
    for (std::uint32_t row = 0; row < 400; ++row) {
        cells += number(row, 0, row);
        test.expected += "\n" + std::to_string(row);
    }
    test.file = book({{"S", cells}});
    return test;
}

// The cases of workbook/xls-cases.txt, its head says how they are written: the mends or the others.
std::vector<ReadCase> readCases(bool areMends)
{
    std::vector<ReadCase> cases;
    std::string globals, stream, streamName;
    std::vector<XLSSheet> sheets;
    std::istringstream lines(testing::fileText(testing::dataFolder() / "workbook" / "xls-cases.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string op, type, text;
        std::uint32_t row = 0, column = 0, style = 0;
        if (!(words >> op) || op.front() == '#')
            continue;
        if (op == "case") {
            cases.emplace_back();
            cases.back().isMend = words >> cases.back().name >> text && text == "mend";
            globals.clear(), stream.clear(), streamName.clear(), sheets.clear();
            continue;
        }
        ReadCase& test = cases.back();
        std::string& records = !streamName.empty() ? stream : sheets.empty() ? globals : sheets.back().cells;
        if (op == "sheet" && words >> text)
            sheets.push_back({text, "", static_cast<std::uint8_t>(words >> type ? std::stoul(type, nullptr, 0) : 0)});
        else if (op == "stream")
            words >> streamName;
        else if (op == "read")
            words >> test.request.sheet.emplace();
        else if (op == "names-only")
            test.request.isNamesOnly = true;
        else if (op == "styles")
            records += cellStyles(std::vector<std::uint32_t>(std::istream_iterator<std::uint32_t>(words), {}));
        else if ((op == "label" || op == "number") && words >> row >> column >> text) {
            words >> style;
            records += op == "label" ? label(row, column, testing::unescaped(text), style)
                                     : number(row, column, std::stod(text), style);
        } else if (op == "cell" && words >> type >> row >> column >> style)
            records += cellRecord(recordType(type), row, column, style, fieldsOf(words));
        else if (op == "record" && words >> type)
            records += record(recordType(type), fieldsOf(words).bytes());
        else if (op == "expect" && std::getline(words >> std::ws, text)) {
            test.expected = testing::unescaped(text);
            test.file = streamName.empty() ? book(sheets, globals)
                                           : compoundFile(stream, std::u16string(streamName.begin(), streamName.end()));
        } else
            throw std::invalid_argument("xls-cases.txt: " + line);
    }
    if (!areMends)
        cases.push_back(largeStreamCase());
    std::erase_if(cases, [areMends](const ReadCase& test) { return test.isMend != areMends; });
    return cases;
}

class XLSReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(XLSReadTest, ReadsAsTheLibraryDoes)
{
    EXPECT_EQ(readText(GetParam().file, GetParam().request), GetParam().expected);
}

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
            return testing::sheetsLine(table.sheets) + testing::tableText(table.table);
        } catch (const ImportError& error) {
            return std::string("error: ") + error.what();
        }
    };
    EXPECT_EQ(imported(FileImport::WorkbookReader::native), imported(FileImport::WorkbookReader::library));
    fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Cases, XLSReadTest, ::testing::ValuesIn(readCases(false)),
                         [](const auto& info) { return std::string(info.param.name); });

// Where the library's reading is plainly wrong, the native reader shows the cell as a spreadsheet
// does: each case is one mend, and the library's text for it differs.
class XLSMendTest : public XLSReadTest {};

TEST_P(XLSMendTest, ReadsAsASpreadsheetShowsIt)
{
    EXPECT_EQ(readText(GetParam().file, GetParam().request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Mends, XLSMendTest, ::testing::ValuesIn(readCases(true)),
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
