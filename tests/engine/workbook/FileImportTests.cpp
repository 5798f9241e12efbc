#include "engine/workbook/FileImport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/csv/CSVError.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "engine/workbook/ReadFailure.h"
#include "engine/workbook/WorkbookPayload.h"
#include "engine/workbook/format/NumberFormat.h"
#include "engine/workbook/library/ReaderProcess.h"
#include "engine/workbook/library/ReaderProtocol.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/engine/workbook/LibraryMends.h"
#include "tests/engine/workbook/SheetsText.h"
#include "tests/support/SharedData.h"

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
constexpr auto library = FileImport::WorkbookReader::library;
using testing::mendBetween;
using testing::Row;
using testing::Rows;
using testing::rowsOf;
using testing::sharedFile;

// The workbooks are written at build time beside the test program (see reader/CMakeLists.txt).
fs::path fixture(const std::string& name)
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures" / name;
}

// A scratch folder of its own, removed afterwards.
struct ScratchFolder {
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() { fs::remove_all(path); }
    fs::path write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path / name, std::ios::binary) << content;
        return path / name;
    }

    static inline int count = 0;
    const fs::path path =
        fs::temp_directory_path() / ("rowlark-importer-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
};

// An imported fixture as its .expected file shows it: its sheets, the sheet read and the table; or
// "error: " and the message the user sees.
std::string importedText(const fs::path& file, const std::optional<std::string>& sheet,
                         const FileImport::ReaderLocations& locations = FileImport::defaultReaderLocations(),
                         FileImport::WorkbookReader reader = FileImport::WorkbookReader::native)
{
    try {
        const ImportedTable imported = FileImport::readTable(file, sheet, locations, {}, reader);
        std::string text;
        if (!imported.sheets.empty())
            text += "sheets: " + testing::sheetsLine(imported.sheets);
        if (imported.sheet)
            text += "read: " + *imported.sheet + '\n';
        return text + testing::tableText(imported.table);
    } catch (const ImportError& error) {
        return "error: " + error.errorDescription() + '\n';
    }
}

// The fields of a data case from `first` on, a line each.
std::string linesFrom(const Row& fields, std::size_t first)
{
    std::string lines;
    for (std::size_t field = first; field < fields.size(); ++field)
        lines += fields[field] + '\n';
    return lines;
}

// tests/data/workbook/FIXTURE.expected, or FIXTURE@SHEET.expected for a sheet asked for by name.
class FixtureTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureTest, ImportsAsExpected)
{
    const std::string& name = GetParam();
    const auto at = name.find('@');
    const std::optional<std::string> sheet =
        at == std::string::npos ? std::nullopt : std::optional<std::string>(name.substr(at + 1));
    EXPECT_EQ(importedText(fixture(name.substr(0, at)), sheet),
              testing::fileText(testing::dataFolder() / "workbook" / (name + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureTest, ::testing::ValuesIn(testing::dataFileNames("workbook", ".expected")),
                         [](const auto& info) { return testing::testNameOfFile(fs::path("workbook") / info.param); });

// The native reader against the library: every workbook of the fixtures and of the shared corpus
// of real-world files reads the same both ways, or ends in the same error.

std::string lowercasedExtension(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::ranges::transform(extension, extension.begin(), [](unsigned char c) { return std::tolower(c); });
    return extension;
}

std::vector<fs::path> workbooksIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".xlsx" || extension == ".ods" || lowercasedExtension(entry.path()) == ".xls")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every number format under every value of number-format-values.txt, a row a format (its text
// first, or "id N" for a built-in one), a column a value; openpyxl's tables hold the values to
// its 16 significant digits. Their numbers are held to NumberFormat, which the NumberFormat
// tests hold to the library.
const std::vector<std::pair<std::string, bool>> formatTables = {{"formats.xlsx", false},
                                                                {"formats-1904.xlsx", true},
                                                                {"openpyxl-formats.xlsx", false},
                                                                {"openpyxl-formats-1904.xlsx", true}};

bool isFormatTable(const fs::path& file)
{
    return std::any_of(formatTables.begin(), formatTables.end(),
                       [&](const auto& table) { return table.first == file.filename().string(); });
}

std::vector<fs::path> agreementFiles()
{
    std::vector<fs::path> files = workbooksIn(fixture(""));
    std::erase_if(files, isFormatTable);
    for (const fs::path& folder : {testing::dataFolder() / "workbook", sharedFile("corpus")}) {
        const std::vector<fs::path> more = workbooksIn(folder);
        files.insert(files.end(), more.begin(), more.end());
    }
    return files;
}

// A read as it ended: its sheets and rows (the header first), or its error.
struct Reading {
    std::vector<workbook::SheetEntry> sheets;
    Rows rows;
    std::optional<ImportError> error;
};

Reading readingOf(const fs::path& file, FileImport::WorkbookReader reader)
{
    Reading reading;
    try {
        const ImportedTable imported =
            FileImport::readTable(file, {}, FileImport::defaultReaderLocations(), {}, reader);
        reading.sheets = imported.sheets;
        reading.rows.push_back(imported.table.headers());
        for (Row& row : rowsOf(imported.table))
            reading.rows.push_back(std::move(row));
    } catch (const ImportError& error) {
        reading.error = error;
    }
    return reading;
}

// The agreement and hostile-file cases come from ../shared; without it they are fewer, and this
// test is listed as skipped, saying so.
TEST(SharedData, LiesBesideTheRepository)
{
    ROWLARK_SKIP_WITHOUT_SHARED_FILE(sharedFile("corpus"));
    EXPECT_FALSE(workbooksIn(sharedFile("corpus")).empty());
}

// Where the library's reading loses data and its path cannot mend it afterwards, the native
// reader does: an ODS cell holding a value without a paragraph reads as empty in the library, and
// natively as the same number in an XLSX cell of the General format does.
Reading libraryReading(const fs::path& file)
{
    const std::string name = file.filename().string();
    if (name == "values-without-paragraphs.ods")
        return {{{"Values"}},
                {{"number", "1.5", "0.1", "12345678901", "TRUE", "2020-02-03T04:05:06", "1900-01-01T12:10:00", "s"}},
                {}};
    if (name == "general-numbers.ods")
        return readingOf(fixture("general-numbers.xlsx"), library);
    return readingOf(file, library);
}

std::string cellAt(const Rows& rows, std::size_t row, std::size_t column)
{
    return row < rows.size() && column < rows[row].size() ? rows[row][column] : std::string();
}

// XLS files on which the library fails in parts the table does not use (the expression of a
// defined name it cannot parse): the native reader reads their cells.
const std::set<std::string>& mendedFailures()
{
    static const std::set<std::string> mended = {"tests__samples__namesdemo.xls"};
    return mended;
}

bool isReadNatively(const fs::path& path);

class NativeAgreementTest : public ::testing::TestWithParam<fs::path> {};

// Both readers give the same sheets and cells, or the same error, but for the documented mends:
// each cell that differs is one of them, and so are the sheets the library refuses as too large
// (the native readers take a format's own limits) or as empty (a sheet of numbers without a date
// under date formats), and chart sheets (the library shows them as empty, or as a table of the
// chart's cached numbers).
TEST_P(NativeAgreementTest, ReadsWhatTheLibraryReadsButForTheMends)
{
    // An XLS file the native reader declines is read by the library either way.
    if (lowercasedExtension(GetParam()) == ".xls" && !isReadNatively(GetParam()))
        return;
    const Reading native = readingOf(GetParam(), FileImport::WorkbookReader::native);
    const Reading library = libraryReading(GetParam());
    if (mendedFailures().contains(GetParam().filename().string())) {
        EXPECT_TRUE(library.error);
        EXPECT_FALSE(native.error) << native.error->what();
        return;
    }
    if (native.error && native.error->kind() == ImportError::Kind::chartSheet)
        return;
    if (native.error || library.error) {
        const auto kindOf = [](const Reading& reading) {
            return reading.error ? reading.error->kind() : ImportError::Kind{};
        };
        if (!native.error && library.error->kind() == ImportError::Kind::worksheetTooLarge)
            return;
        if (native.error && library.error) {
            EXPECT_EQ(kindOf(native), kindOf(library)) << native.error->what() << " / " << library.error->what();
            if (native.error->kind() != ImportError::Kind::worksheetTooLarge) {
                EXPECT_EQ(native.error->errorDescription(), library.error->errorDescription());
            }
            return;
        }
        ASSERT_FALSE(native.error) << native.error->what();
        ASSERT_EQ(library.error->kind(), ImportError::Kind::emptyWorksheet) << library.error->what();
    } else if (lowercasedExtension(GetParam()) == ".ods") {
        // The library marks no ODS sheet hidden; the native reader reads the table styles.
        EXPECT_EQ(sheetNames(native.sheets), sheetNames(library.sheets));
    } else {
        EXPECT_EQ(testing::sheetsLine(native.sheets), testing::sheetsLine(library.sheets));
    }
    std::map<std::string_view, std::size_t> mended;
    // The cells an ODS merge covers keep their columns: the library moves the cells after them
    // to the left.
    const auto filledCells = [](const Rows& rows, std::size_t row) {
        Row cells;
        if (row < rows.size())
            std::copy_if(rows[row].begin(), rows[row].end(), std::back_inserter(cells),
                         [](const std::string& cell) { return !cell.empty(); });
        return cells;
    };
    std::size_t rowCount = std::max(native.rows.size(), library.rows.size());
    for (std::size_t row = 0; row < rowCount; ++row) {
        if (cellAt(native.rows, row, 0) == cellAt(library.rows, row, 0) &&
            filledCells(native.rows, row) == filledCells(library.rows, row) &&
            (row >= native.rows.size() || row >= library.rows.size() || native.rows[row] != library.rows[row])) {
            ++mended["same cells, other columns (ODS covered cells, ranges past the library's limits)"];
            continue;
        }
        const std::size_t width = std::max(row < native.rows.size() ? native.rows[row].size() : 0,
                                           row < library.rows.size() ? library.rows[row].size() : 0);
        for (std::size_t column = 0; column < width; ++column) {
            const std::string nativeCell = cellAt(native.rows, row, column);
            const std::string libraryCell = cellAt(library.rows, row, column);
            if (nativeCell == libraryCell)
                continue;
            if (const auto mend = mendBetween(nativeCell, libraryCell))
                ++mended[*mend];
            else
                ADD_FAILURE() << "row " << row << " column " << column << ": native \"" << nativeCell
                              << "\", library \"" << libraryCell << "\"";
        }
    }
    for (const auto& [name, count] : mended)
        std::cout << "  mended, " << name << ": " << count << " cells\n";
}

INSTANTIATE_TEST_SUITE_P(Workbooks, NativeAgreementTest, ::testing::ValuesIn(agreementFiles()),
                         [](const auto& info) { return testing::testNameOfFile(info.param); });

// The numbers of number-format-values.txt, as a table holds them.
std::vector<double> formatTableValues(bool isSixteenDigits)
{
    std::vector<double> values;
    std::istringstream lines(testing::fileText(testing::dataFolder() / "workbook" / "number-format-values.txt"));
    for (std::string line; std::getline(lines, line);) {
        double value = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (line.empty() || error != std::errc() || end != line.data() + line.size())
            continue;
        if (isSixteenDigits) {
            if (std::fabs(value) >= 1e308)
                continue;
            char text[32];
            std::snprintf(text, sizeof text, "%.16g", value);
            value = std::strtod(text, nullptr);
        }
        values.push_back(value);
    }
    return values;
}

// The text NumberFormat gives the value under the format; none where it declines.
std::optional<std::string> numberFormatText(std::string_view format, double value, bool isDate1904)
{
    if (isDateFormat(format))
        return dateCellText(value, isDate1904);
    const auto parsed = NumberFormat::parse(format);
    return parsed ? parsed->format(value) : std::nullopt;
}

// Each cell of the format tables reads natively as the library shows it, or as NumberFormat shows
// it where the two differ, or differs from the library by a mend of the texts alone (where the
// writer left a format out, or openpyxl wrote it as a built-in id of another text).
TEST(FormatTables, ShowTheirNumbersAsNumberFormatOrTheLibraryShowsThem)
{
    for (const auto& [name, isDate1904] : formatTables) {
        const Reading nativeRead = readingOf(fixture(name), FileImport::WorkbookReader::native);
        const Reading libraryRead = readingOf(fixture(name), library);
        ASSERT_FALSE(nativeRead.error) << name;
        const std::vector<double> values = formatTableValues(name.starts_with("openpyxl"));
        std::size_t checked = 0;
        for (std::size_t row = 1; row < nativeRead.rows.size(); ++row) {
            const std::string& label = nativeRead.rows[row][0];
            const std::string format =
                label.starts_with("id ")
                    ? std::string(builtInNumberFormat(std::stoi(label.substr(3))).value_or("General"))
                    : label;
            for (std::size_t column = 1; column < nativeRead.rows[row].size() && column <= values.size(); ++column) {
                const std::string& text = nativeRead.rows[row][column];
                const std::string libraryText = cellAt(libraryRead.rows, row, column);
                if (text == libraryText || mendBetween(text, libraryText))
                    continue;
                EXPECT_EQ(text, numberFormatText(format, values[column - 1], isDate1904).value_or("(declined)"))
                    << name << ": " << format << " with " << values[column - 1] << ", library \"" << libraryText
                    << "\"";
                ++checked;
            }
        }
        EXPECT_GT(checked, 100u) << name;
    }
}

// Whether the native reader reads the file itself rather than leaving it to the library.
bool isReadNatively(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Number formats handed to the library do not make the read the library's.
    const auto formatter = [](const auto& requests) { return std::vector<std::string>(requests.size()); };
    const auto span = std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (lowercasedExtension(path) == ".xls") {
        try {
            const std::optional<CompoundFile> file = CompoundFile::open(span);
            if (!file)
                return false;
            workbook::readXLS(*file, {}, formatter, {});
        } catch (const workbook::ReadDeclined&) {
            return false;
        } catch (const CompoundFileError&) {
            return false;
        } catch (const std::exception&) {
        }
        return true;
    }
    try {
        auto archive = workbook::ZIPArchive::open(span);
        if (!archive)
            return false;
        if (path.extension() == ".ods")
            workbook::readODS(*archive, {}, {});
        else
            workbook::readXLSX(*archive, {}, formatter, {});
    } catch (const workbook::ReadDeclined&) {
        return false;
    } catch (const workbook::ZIPError& error) {
        return error.problem() != workbook::ZIPProblem::unsupported;
    } catch (const std::exception&) {
    }
    return true;
}

// The agreement above holds for files the native reader leaves to the library too: most
// real-world workbooks must be read natively for it to mean anything.
TEST(NativeCoverage, MostWorkbooksAreReadNatively)
{
    const std::vector<fs::path> files = agreementFiles();
    for (const std::string extension : {".xlsx", ".xls"}) {
        const auto count = [&](bool isNativeOnly) {
            return std::ranges::count_if(files, [&](const fs::path& file) {
                return lowercasedExtension(file) == extension && (!isNativeOnly || isReadNatively(file));
            });
        };
        EXPECT_GE(count(true) * 100, count(false) * 85) << count(true) << " of " << count(false) << extension;
    }
    for (const fs::path& file : files) {
        if (!isReadNatively(file))
            std::cout << "left to the library: " << file.string() << '\n';
        EXPECT_TRUE(lowercasedExtension(file) != ".ods" || isReadNatively(file)) << file;
    }
    for (const char* name :
         {"people.xlsx", "dates.xlsx", "dates-1904.xlsx", "offset.xlsx", "rows-at-limit.xlsx", "formats.xlsx",
          "openpyxl-formats.xlsx", "rich-text-and-line-breaks.xlsx", "odfpy-values.ods", "comment-outside-range.xlsx"})
        EXPECT_TRUE(isReadNatively(fixture(name))) << name;
}

// A number in the General format shows alike in both native readers.
TEST(GeneralNumbers, ODSAndXLSXShowTheSameTexts)
{
    const ImportedTable ods = FileImport::readTable(fixture("general-numbers.ods"));
    const ImportedTable xlsx = FileImport::readTable(fixture("general-numbers.xlsx"));
    EXPECT_GT(ods.table.rowCount(), 60u);
    EXPECT_EQ(rowsOf(ods.table), rowsOf(xlsx.table));
    EXPECT_EQ(ods.table.cell(0, 0), "0");
}

// Choosing the reader by extension

TEST(ImporterDispatch, TheExtensionInAnyCaseChoosesTheReader)
{
    ScratchFolder folder;
    fs::copy_file(fixture("people.csv"), folder.path / "PEOPLE.CSV");
    EXPECT_EQ(importedText(folder.path / "PEOPLE.CSV", "ignored"), importedText(fixture("people.csv"), {}));
    EXPECT_EQ(importedText(fixture("people.csv"), {}).rfind("id|name", 0), 0u);
    EXPECT_THROW(FileImport::readTable(folder.write("bad.csv", "a,\"b\n")), csv::CSVError);
    EXPECT_THROW(FileImport::readTable("/nonexistent/missing.xlsx"), std::system_error);
    // Only the extension decides: text named as a workbook goes to the workbook reader.
    EXPECT_EQ(
        importedText(fixture("people-csv.Xlsx"), {}).rfind("sheets: Sheet1\nread: Sheet1\nid|name|city|amount\n", 0),
        0u);
}

// .csv and .txt texts have their separator detected, .tsv and .tab ones are tab-separated whatever
// they hold, and a separator given replaces either; workbooks have none.
TEST(ImporterDispatch, TextFilesAreReadAsCSVWithTheirSeparator)
{
    ScratchFolder folder;
    for (const Row& test : testing::tabSeparatedCases("workbook/text-file-separators.tsv")) {
        const ImportedTable imported = FileImport::readTable(folder.write(test[0], "id;name\n1;Ann\n"), std::nullopt,
                                                             {}, csv::separatorNamed(test[1]));
        EXPECT_EQ(imported.separator, csv::separatorNamed(test[2])) << test[0];
        EXPECT_EQ(imported.table.columnCount(), std::stoul(test[3])) << test[0];
        EXPECT_TRUE(imported.sheets.empty());
        EXPECT_TRUE(FileImport::isCSVText(test[0]));
    }
    EXPECT_FALSE(FileImport::isCSVText("a.xlsx"));
    EXPECT_FALSE(FileImport::isCSVText("csv"));
    EXPECT_EQ(FileImport::readTable(fixture("people.xlsx"), std::nullopt, {}, csv::Separator::semicolon).separator,
              std::nullopt);
}

TEST(ImporterDispatch, AFolderIsAFolderWhateverItsName)
{
    ScratchFolder folder;
    for (const std::string name : {"orders.csv", "book.xlsx", "plain", "notes.md"}) {
        fs::create_directories(folder.path / name);
        try {
            FileImport::readTable(folder.path / name);
            ADD_FAILURE() << name;
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), std::errc::is_a_directory) << name;
        }
    }
}

// Every failure names the side and the file; the file system's own words are replaced by some that
// name the file.
TEST(ReadFailures, NameTheSideAndTheFile)
{
    const auto systemError = [](std::errc code) { return std::system_error(std::make_error_code(code)); };
    EXPECT_EQ(readFailureMessage(sideName(false), "orders.csv", csv::CSVError::empty()),
              "File B (orders.csv): The CSV has no header row.");
    EXPECT_EQ(readFailureMessage(sideName(true), "book.xlsx", ImportError::encryptedWorkbook()),
              "File A (book.xlsx): Encrypted or password-protected workbooks are not supported.");
    EXPECT_EQ(readFailureMessage(sideName(false), "orders.csv", systemError(std::errc::is_a_directory)),
              "File B: orders.csv is a folder, not a file.");
    EXPECT_EQ(readFailureMessage(sideName(true), "gone.csv", systemError(std::errc::no_such_file_or_directory)),
              "File A: gone.csv was not found. It may have been moved, renamed or deleted.");
    EXPECT_EQ(readFailureMessage(sideName(true), "secret.csv", systemError(std::errc::permission_denied)),
              "File A: Rowlark is not allowed to read secret.csv.");
    EXPECT_EQ(readFailureMessage(sideName(true), "fifo.csv", systemError(std::errc::not_supported)),
              "File A: fifo.csv is not a regular file.");
    EXPECT_EQ(readFailureMessage(sideName(false), "disk.csv", systemError(std::errc::io_error)),
              "File B: disk.csv: " + std::make_error_code(std::errc::io_error).message());
    EXPECT_EQ(readFailureMessage({}, "x.csv", csv::CSVError::unclosedQuote()),
              "x.csv: The CSV contains an unclosed quoted field.");
    EXPECT_EQ(readFailureMessage({}, "dir", systemError(std::errc::is_a_directory)), "dir is a folder, not a file.");
}

TEST(ImporterDispatch, UnsupportedNamesFailBeforeTheFileIsRead)
{
    for (const Row& name : testing::tabSeparatedCases("workbook/unsupported-file-names.tsv"))
        EXPECT_EQ(importedText(fs::path("/nonexistent") / name[0], {}), "error: " + name[1] + '\n');
}

TEST(WorkbookSheets, SheetNamesAreMatchedExactly)
{
    for (const Row& lookup : testing::tabSeparatedCases("workbook/missing-sheets.tsv"))
        EXPECT_EQ(importedText(fixture("people.xlsx"), lookup[0]), "error: " + lookup[1] + '\n');
    EXPECT_THAT(importedText(fixture("people.xlsx"), std::string("People\0x", 8)),
                ::testing::StartsWith("error: The workbook does not contain a sheet named"));
}

// Hidden and very hidden sheets are listed in place and marked, by each reader of each format;
// a table style that shows its table leaves it visible. The library reads no ODS sheet as hidden.
TEST(WorkbookSheets, HiddenSheetsAreMarked)
{
    const std::vector<Row> cases = testing::tabSeparatedCases("workbook/hidden-sheets.tsv");
    ASSERT_EQ(cases.size(), 6u);
    for (const Row& test : cases) {
        const auto reader = test[1] == "library" ? library : FileImport::WorkbookReader::native;
        for (const char* sheet : {"Visible", "Hidden"}) {
            const ImportedTable imported = FileImport::readTable(fixture(test[0]), std::string(sheet),
                                                                 FileImport::defaultReaderLocations(), {}, reader);
            EXPECT_EQ(testing::sheetsLine(imported.sheets), test[2] + '\n') << test[0] << " " << sheet;
            EXPECT_EQ(testing::tableText(imported.table), std::string("id\n") + sheet + "\n") << test[0];
        }
    }
}

// Limits

TEST(WorkbookLimits, LargeSheetsAndRowsAndColumnsAtTheLimitAreReadWhole)
{
    const ImportedTable xls = FileImport::readTable(fixture("many-rows.xls"));
    ASSERT_EQ(xls.table.rowCount(), 55743u);
    EXPECT_THAT(xls.table.rowStrings(55742), ElementsAre("55743", "n55743", "83614.5"));
    const ImportedTable rows = FileImport::readTable(fixture("rows-at-limit.xlsx"));
    EXPECT_EQ(rows.table.rowCount(), 249999u);
    EXPECT_EQ(rows.table.cell(249998, 0), "last");
    const ImportedTable columns = FileImport::readTable(fixture("columns-at-limit.xlsx"));
    EXPECT_EQ(columns.table.columnCount(), 10000u);
    EXPECT_EQ(columns.table.headers().back(), "last");
}

// The native readers take the sheets a workbook format holds, with at most 50,000,000 cells; the
// library keeps the limits of its path. Past a limit the error names it.
TEST(WorkbookLimits, EachReaderTakesItsOwnSizesAndNamesTheLimitPassed)
{
    EXPECT_EQ(FileImport::readTable(fixture("rows-over-limit.xlsx")).table.rowCount(), 250000u);
    EXPECT_EQ(FileImport::readTable(fixture("columns-over-limit.xlsx")).table.columnCount(), 10001u);
    const ImportedTable cells = FileImport::readTable(fixture("cells-over-limit.xlsx"));
    EXPECT_EQ(cells.table.rowCount() * cells.table.columnCount(), 2499u * 2001u);
    for (const Row& limit : testing::tabSeparatedCases("workbook/size-limits.tsv")) {
        const auto reader = limit[1] == "library" ? library : FileImport::WorkbookReader::native;
        EXPECT_EQ(importedText(fixture(limit[0]), {}, FileImport::defaultReaderLocations(), reader),
                  "error: The selected worksheet exceeds the safe import limits: more than " + limit[2] + ".\n");
    }
}

// The reader helper and its resources

FileImport::ReaderLocations locationsWithHelperIn(const fs::path& folder)
{
    FileImport::ReaderLocations locations = FileImport::defaultReaderLocations();
    locations.helperDirectories = {folder};
    return locations;
}

// An oversized file is refused unread, before the reader's resources are looked for.
TEST(ReaderResources, OversizedFileOrMissingResourcesAreRefused)
{
    ScratchFolder folder;
    const auto noHelper = locationsWithHelperIn(folder.path);
    const fs::path big = folder.write("big.ods", "");
    fs::resize_file(big, 67108865);
    EXPECT_EQ(importedText(big, {}, noHelper), "error: The workbook is larger than the 64 MB import limit.\n");
    const std::string missing = "error: The bundled spreadsheet reader is missing from the application.\n";
    EXPECT_EQ(importedText(fixture("people.xlsx"), {}, noHelper, library), missing);
    FileImport::ReaderLocations locations = FileImport::defaultReaderLocations();
    const auto installedBundles = locations.bundleDirectories;
    locations.bundleDirectories = {folder.path};
    EXPECT_EQ(importedText(fixture("people.xlsx"), {}, locations, library), missing);
    // A bundle without its library file is not passed over for a later one.
    fs::create_directories(folder.path / workbook::readerProtocol::bundleName / "Vendor");
    locations.bundleDirectories.insert(locations.bundleDirectories.end(), installedBundles.begin(),
                                       installedBundles.end());
    EXPECT_EQ(importedText(fixture("people.xlsx"), {}, locations, library), missing);
}

// A stand-in helper program: a shell script with the given body.
FileImport::ReaderLocations fakeHelper(const ScratchFolder& folder, const std::string& body)
{
    const fs::path helper = folder.write("rowlark-reader", "#!/bin/sh\n" + body + "\n");
    fs::permissions(helper, fs::perms::owner_all);
    return locationsWithHelperIn(folder.path);
}

std::string importedWithFakeHelper(const std::string& body, const std::optional<std::string>& sheet = {})
{
    ScratchFolder folder;
    return importedText(fixture("people.xlsx"), sheet, fakeHelper(folder, body), library);
}

TEST(ReaderFailures, EachEndingOfTheReaderSaysWhy)
{
    for (const Row& ending : testing::tabSeparatedCases("workbook/reader-endings.tsv"))
        EXPECT_EQ(importedWithFakeHelper(ending[0]), "error: " + ending[1] + '\n');
}

// The helper's answer, a tag byte and its text, given back by the stand-in.
TEST(ReaderFailures, TheAnswerIsClassified)
{
    for (const Row& answer : testing::tabSeparatedCases("workbook/reader-answers.tsv")) {
        ScratchFolder folder;
        const std::string body = "cat > /dev/null; cat '" + folder.write("answer", answer[0]).string() + "'";
        const auto sheet = answer[1].empty() ? std::nullopt : std::optional(answer[1]);
        EXPECT_EQ(importedWithFakeHelper(body, sheet), "error: " + answer[2] + '\n');
    }
}

TEST(ReaderCancellation, StopBeforeTheLoadStartsNothingAndStopDuringItKillsTheReader)
{
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(FileImport::readTable(fixture("people.xlsx"), std::nullopt, stopped.get_token()), ImportCancelled);
    EXPECT_THROW(FileImport::readTable(fixture("people.csv"), std::nullopt, stopped.get_token()), ImportCancelled);
    ScratchFolder folder;
    const fs::path started = folder.path / "started";
    const auto locations = fakeHelper(folder, "touch '" + started.string() + "'; exec sleep 600");
    std::stop_source stop;
    std::jthread canceller([&] {
        while (!fs::exists(started))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stop.request_stop();
    });
    EXPECT_THROW(FileImport::readTable(fixture("people.xlsx"), std::nullopt, locations, stop.get_token(), library),
                 ImportCancelled);
}

// Bounds on what one read may take

fs::path realHelper()
{
    return FileImport::defaultReaderLocations().helperDirectories.front() / "rowlark-reader";
}

class HostileWorkbookTest : public ::testing::TestWithParam<Row> {};

// Each of these made the reader hang, crash or take gigabytes; each ends in seconds. The expected text
// is a line a field: its sheets, the table or the error.
TEST_P(HostileWorkbookTest, EndsInAClearErrorOrACorrectRead)
{
    const fs::path path = sharedFile("hostile/" + GetParam()[0]);
    ROWLARK_SKIP_WITHOUT_SHARED_FILE(path);
    EXPECT_EQ(importedText(path, {}), linesFrom(GetParam(), 1));
}

INSTANTIATE_TEST_SUITE_P(Files, HostileWorkbookTest,
                         ::testing::ValuesIn(testing::tabSeparatedCases("workbook/hostile-workbooks.tsv")),
                         [](const auto& info) { return testing::testNameOfFile("hostile/" + info.param[0]); });

TEST(ReaderBounds, HelperMeetsItsMemoryCeilingBeforeTheSystemDoes)
{
    const fs::path path = sharedFile("hostile/oom.xls");
    ROWLARK_SKIP_WITHOUT_SHARED_FILE(path);
    ScratchFolder folder;
    // The real helper with a ceiling of 256 MB instead of a share of the machine's memory.
    const auto locations =
        fakeHelper(folder, "exec '" + realHelper().string() + "' \"$1\" \"$2\" \"$3\" \"$4\" \"$5\" 268435456 \"$7\"");
    EXPECT_EQ(importedText(path, {}, locations),
              "error: The spreadsheet reader failed: The worksheet is too large for the available memory.\n");
}

bool isRunning(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    return status >> pidText >> name >> state && state != "Z";
}

TEST(ReaderBounds, HelperEndsWithTheProgramThatStartedIt)
{
    const fs::path path = sharedFile("hostile/repeat_bomb.ods");
    ROWLARK_SKIP_WITHOUT_SHARED_FILE(path);
    ScratchFolder folder;
    const fs::path pidFile = folder.path / "helper.pid";
    const auto locations =
        fakeHelper(folder, "echo $$ > '" + pidFile.string() + "'; exec '" + realHelper().string() + "' \"$@\"");
    const pid_t importer = ::fork();
    ASSERT_GE(importer, 0);
    if (importer == 0) {
        importedText(path, {}, locations, library);
        ::_exit(0);
    }
    pid_t helper = 0;
    for (int wait = 0; wait < 600 && helper == 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream(pidFile) >> helper;
    }
    ::kill(importer, SIGKILL);
    ::waitpid(importer, nullptr, 0);
    ASSERT_GT(helper, 0);
    for (int wait = 0; wait < 40 && isRunning(helper); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(isRunning(helper));
}

TEST(ReaderBounds, OutputPastTheLimitStopsTheProgram)
{
    const ProcessOutcome outcome = runProcess("/usr/bin/yes", {}, {}, 1 << 20, {});
    EXPECT_TRUE(outcome.isOutputOverLimit);
    EXPECT_TRUE(outcome.isSignaled);
}

// The library turns dates into day numbers through the local time zone.
TEST(WorkbookDates, AreTheFilesOwnValuesInAnyTimeZone)
{
    const std::string previous = std::getenv("TZ") ? std::getenv("TZ") : "";
    const fs::path ods = sharedFile("corpus/calamine/tests__date.ods");
    for (const char* zone : {"UTC", "America/Los_Angeles", "Asia/Tokyo"}) {
        ::setenv("TZ", zone, 1);
        EXPECT_EQ(rowsOf(FileImport::readTable(fixture("iso-date.xlsx")).table),
                  (testing::Rows{{"2021-01-01T10:10:10"}}))
            << zone;
        if (!fs::exists(ods))
            continue;
        EXPECT_THAT(FileImport::readTable(ods).table.headers(), ElementsAre("2021-01-01", "15"));
    }
    previous.empty() ? ::unsetenv("TZ") : ::setenv("TZ", previous.c_str(), 1);
}

// Payload decoding

std::string payloadText(const WorkbookPayload& payload)
{
    std::string text = "sheets: " + testing::sheetsLine(payload.sheets) + "rows: " + std::to_string(payload.rowCount) +
                       '\n' + testing::lineOf(payload.firstRow);
    for (std::size_t row = 0; payload.laterRows && row < payload.laterRows->rowCount(); ++row) {
        Row cells;
        for (std::size_t column = 0; column < payload.laterRows->width(); ++column)
            cells.emplace_back(payload.laterRows->cell(row, column));
        text += testing::lineOf(cells);
    }
    return text;
}

TEST(PayloadDecoding, AcceptsOnlyTheAgreedShapeAndKeepsCellsExactly)
{
    for (const Row& shape : testing::tabSeparatedCases("workbook/worksheet-payloads.tsv")) {
        const auto payload = WorkbookPayload::decode(shape[1]);
        EXPECT_EQ(payload.has_value(), shape[0] == "valid") << shape[1];
        EXPECT_EQ(payload && shape.size() > 2 ? payloadText(*payload) : "", linesFrom(shape, 2));
    }
}

}  // namespace
}  // namespace rowlark::workbook
