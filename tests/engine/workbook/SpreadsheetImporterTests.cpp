#include "workbook/SpreadsheetImporter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "../csv/CSVTestSupport.h"
#include "csv/CSVError.h"
#include "workbook/ImportError.h"
#include "workbook/ReaderProcess.h"
#include "workbook/WorkbookPayload.h"

namespace rowlark {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing::Row;
using testing::Rows;
using testing::rowsOf;

// The workbooks are written at build time beside the test program (see reader/CMakeLists.txt).
fs::path fixture(const std::string& name)
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures" / name;
}

// A scratch folder of its own per test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                ("rowlark-importer-" + std::string(test->name()) + "-" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

    fs::path write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path_ / name, std::ios::binary) << content;
        return path_ / name;
    }

private:
    fs::path path_;
};

template<typename Load> ImportError importErrorFrom(Load&& load)
{
    try {
        load();
    } catch (const ImportError& error) {
        return error;
    }
    ADD_FAILURE() << "no ImportError was thrown";
    return ImportError::readerFailure("none");
}

ImportError importErrorOf(const fs::path& path, const std::optional<std::string>& sheet = {})
{
    return importErrorFrom([&] { SpreadsheetImporter::loadWithMetadata(path, sheet); });
}

// An imported fixture as its .expected file shows it: its sheets, the sheet read and the table; or
// "error: " and the message the user sees.
std::string importedText(const fs::path& file, const std::optional<std::string>& sheet)
{
    try {
        const ImportedTable imported = SpreadsheetImporter::loadWithMetadata(file, sheet);
        std::string text;
        if (!imported.sheets.empty())
            text += "sheets: " + testing::lineOf(imported.sheets);
        if (imported.sheet)
            text += "read: " + *imported.sheet + '\n';
        return text + testing::tableText(imported.table);
    } catch (const ImportError& error) {
        return "error: " + error.errorDescription() + '\n';
    }
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
                         [](const auto& info) { return std::to_string(info.index); });

// Choosing the reader by extension

TEST(ImporterDispatch, CSVInAnyCaseGoesToTheCSVReader)
{
    ScratchFolder folder;
    fs::copy_file(fixture("people.csv"), folder.path() / "PEOPLE.CSV");
    const ImportedTable imported = SpreadsheetImporter::loadWithMetadata(folder.path() / "PEOPLE.CSV", "ignored");
    EXPECT_EQ(imported.table, SpreadsheetImporter::loadWithMetadata(fixture("people.csv")).table);
    EXPECT_TRUE(imported.sheets.empty());
    EXPECT_FALSE(imported.sheet.has_value());
}

TEST(ImporterDispatch, CSVFileErrorsPassThrough)
{
    ScratchFolder folder;
    EXPECT_THROW(SpreadsheetImporter::loadWithMetadata(folder.write("bad.csv", "a,\"b\n")), CSVError);
}

TEST(ImporterDispatch, TextNamedAsWorkbookGoesToTheReader)
{
    const ImportedTable imported = SpreadsheetImporter::loadWithMetadata(fixture("people-csv.Xlsx"));
    EXPECT_THAT(imported.sheets, ElementsAre("Sheet1"));
    EXPECT_EQ(imported.sheet, "Sheet1");
    EXPECT_THAT(imported.table.headers(), ElementsAre("id", "name", "city", "amount"));
}

class UnsupportedNameTest : public ::testing::TestWithParam<Row> {};

TEST_P(UnsupportedNameTest, FailsBeforeTheFileIsRead)
{
    const ImportError error = importErrorOf(fs::path("/nonexistent") / GetParam()[0]);
    EXPECT_EQ(error.kind(), ImportError::Kind::unsupportedFormat);
    EXPECT_EQ(error.errorDescription(), GetParam()[1]);
}

INSTANTIATE_TEST_SUITE_P(Names, UnsupportedNameTest,
                         ::testing::ValuesIn(testing::tabSeparatedCases("workbook/unsupported-file-names.tsv")));

TEST(WorkbookSheets, LargeXLSIsReadWhole)
{
    const ImportedTable imported = SpreadsheetImporter::loadWithMetadata(fixture("many-rows.xls"));
    ASSERT_EQ(imported.table.rowCount(), 55743u);
    EXPECT_THAT(imported.table.rowStrings(55742), ElementsAre("55743", "n55743", "83614.5"));
}

TEST(WorkbookSheets, MissingSheetIsNamedInTypographicQuotes)
{
    const ImportError error = importErrorOf(fixture("people.xlsx"), "Caf\u00E9 \u201Cdraft\u201D");
    EXPECT_EQ(error, ImportError::sheetNotFound("Caf\u00E9 \u201Cdraft\u201D"));
    EXPECT_EQ(error.errorDescription(), "The workbook does not contain a sheet named \u201C"
                                        "Caf\u00E9 \u201Cdraft\u201D"
                                        "\u201D.");
}

TEST(WorkbookSheets, SheetNamesAreMatchedExactly)
{
    EXPECT_EQ(importErrorOf(fixture("people.xlsx"), "people").kind(), ImportError::Kind::sheetNotFound);
    EXPECT_EQ(importErrorOf(fixture("people.xlsx"), "People ").kind(), ImportError::Kind::sheetNotFound);
    EXPECT_EQ(importErrorOf(fixture("people.xlsx"), std::string("People\0x", 8)).kind(),
              ImportError::Kind::sheetNotFound);
}

// Limits

TEST(WorkbookLimits, RowsAndColumnsAtTheLimitAreRead)
{
    const ImportedTable rows = SpreadsheetImporter::loadWithMetadata(fixture("rows-at-limit.xlsx"));
    EXPECT_EQ(rows.table.rowCount(), 249999u);
    EXPECT_EQ(rows.table.cell(249998, 0), "last");
    const ImportedTable columns = SpreadsheetImporter::loadWithMetadata(fixture("columns-at-limit.xlsx"));
    EXPECT_EQ(columns.table.columnCount(), 10000u);
    EXPECT_EQ(columns.table.headers().back(), "last");
}

TEST(WorkbookFailures, FileSystemErrorsPassThrough)
{
    try {
        SpreadsheetImporter::loadWithMetadata("/nonexistent/missing.xlsx");
        FAIL() << "no error";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
}

// The reader helper and its resources

SpreadsheetImporter::ReaderLocations locationsWithHelperIn(const fs::path& folder)
{
    SpreadsheetImporter::ReaderLocations locations = SpreadsheetImporter::defaultReaderLocations();
    locations.helperDirectories = {folder};
    return locations;
}

TEST(ReaderResources, MissingBundleDirectory)
{
    ScratchFolder folder;
    SpreadsheetImporter::ReaderLocations locations = SpreadsheetImporter::defaultReaderLocations();
    locations.bundleDirectories = {folder.path()};
    EXPECT_EQ(importErrorFrom([&] {
                  SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), {}, locations);
              }).errorDescription(),
              "The bundled spreadsheet reader is missing from the application.");
}

TEST(ReaderResources, BundleWithoutTheLibraryFile)
{
    ScratchFolder folder;
    fs::create_directories(folder.path() / "Rowlark_Rowlark.bundle" / "Vendor");
    SpreadsheetImporter::ReaderLocations locations = SpreadsheetImporter::defaultReaderLocations();
    locations.bundleDirectories.insert(locations.bundleDirectories.begin(), folder.path());
    EXPECT_EQ(importErrorFrom([&] { SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), {}, locations); }),
              ImportError::readerResourceMissing());
}

TEST(ReaderResources, MissingHelperProgram)
{
    ScratchFolder folder;
    EXPECT_EQ(importErrorFrom([&] {
                  SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), {},
                                                        locationsWithHelperIn(folder.path()));
              }),
              ImportError::readerResourceMissing());
}

TEST(ReaderResources, OversizedFileIsRefusedUnreadBeforeResourcesAreLookedFor)
{
    ScratchFolder folder;
    const fs::path path = folder.write("big.ods", "");
    fs::resize_file(path, 67108865);
    const ImportError error =
        importErrorFrom([&] { SpreadsheetImporter::loadWithMetadata(path, {}, locationsWithHelperIn(folder.path())); });
    EXPECT_EQ(error, ImportError::fileTooLarge(67108864));
    EXPECT_EQ(error.errorDescription(), "The workbook is larger than the 64 MB import limit.");
}

// A stand-in helper program: a shell script with the given body.
SpreadsheetImporter::ReaderLocations fakeHelper(const ScratchFolder& folder, const std::string& body)
{
    const fs::path helper = folder.write("rowlark-reader", "#!/bin/sh\n" + body + "\n");
    fs::permissions(helper, fs::perms::owner_all);
    return locationsWithHelperIn(folder.path());
}

ImportError errorFromFakeHelper(const std::string& body, const std::optional<std::string>& sheet = {})
{
    ScratchFolder folder;
    const auto locations = fakeHelper(folder, body);
    return importErrorFrom([&] { SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), sheet, locations); });
}

// The helper's answer, written by the stand-in: a tag byte and its text.
ImportError errorFromAnswer(const std::string& answer, const std::optional<std::string>& sheet = {})
{
    ScratchFolder folder;
    const fs::path answerFile = folder.write("answer", answer);
    const auto locations = fakeHelper(folder, "cat > /dev/null; cat '" + answerFile.string() + "'");
    return importErrorFrom([&] { SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), sheet, locations); });
}

class ReaderEndingTest : public ::testing::TestWithParam<Row> {};

TEST_P(ReaderEndingTest, EndsInReaderFailureSayingWhy)
{
    const ImportError error = errorFromFakeHelper(GetParam()[0]);
    EXPECT_EQ(error.kind(), ImportError::Kind::readerFailure);
    EXPECT_EQ(error.errorDescription(), GetParam()[1]);
}

INSTANTIATE_TEST_SUITE_P(Endings, ReaderEndingTest,
                         ::testing::ValuesIn(testing::tabSeparatedCases("workbook/reader-endings.tsv")));

class ReaderAnswerTest : public ::testing::TestWithParam<Row> {};

TEST_P(ReaderAnswerTest, ClassifiesTheAnswer)
{
    const std::string& sheet = GetParam()[1];
    const ImportError error = errorFromAnswer(GetParam()[0], sheet.empty() ? std::nullopt : std::optional(sheet));
    EXPECT_EQ(error.errorDescription(), GetParam()[2]);
}

INSTANTIATE_TEST_SUITE_P(Answers, ReaderAnswerTest,
                         ::testing::ValuesIn(testing::tabSeparatedCases("workbook/reader-answers.tsv")));

TEST(ReaderCancellation, StopRequestedBeforeTheLoadStartsNothing)
{
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), {}, stop.get_token()), ImportCancelled);
    EXPECT_THROW(SpreadsheetImporter::loadWithMetadata(fixture("people.csv"), {}, stop.get_token()), ImportCancelled);
}

TEST(ReaderCancellation, StopKillsARunningReader)
{
    ScratchFolder folder;
    const fs::path started = folder.path() / "started";
    const auto locations = fakeHelper(folder, "touch '" + started.string() + "'; exec sleep 600");
    std::stop_source stop;
    std::jthread canceller([&] {
        while (!fs::exists(started))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stop.request_stop();
    });
    EXPECT_THROW(SpreadsheetImporter::loadWithMetadata(fixture("people.xlsx"), {}, locations, stop.get_token()),
                 ImportCancelled);
}

// Bounds on what one read may take

fs::path sharedFile(const std::string& relative)
{
    return fs::path(ROWLARK_SHARED_DATA) / relative;
}

fs::path realHelper()
{
    return SpreadsheetImporter::defaultReaderLocations().helperDirectories.front() / "rowlark-reader";
}

struct HostileCase {
    std::string file;
    std::optional<ImportError> error;  // none when the file reads, as `rows` with header id, v
    Rows rows;
};

void PrintTo(const HostileCase& hostile, std::ostream* stream)
{
    *stream << hostile.file;
}

class HostileWorkbookTest : public ::testing::TestWithParam<HostileCase> {};

// Each of these made the reader hang, crash or take gigabytes; each ends in seconds.
TEST_P(HostileWorkbookTest, EndsInAClearErrorOrACorrectRead)
{
    const fs::path path = sharedFile("hostile/" + GetParam().file);
    if (!fs::exists(path))
        GTEST_SKIP() << path << " is absent";
    if (GetParam().error) {
        EXPECT_EQ(importErrorOf(path), *GetParam().error);
    } else {
        const ImportedTable imported = SpreadsheetImporter::loadWithMetadata(path);
        EXPECT_THAT(imported.table.headers(), ElementsAre("id", "v"));
        EXPECT_EQ(rowsOf(imported.table), GetParam().rows);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileWorkbookTest,
                         ::testing::Values(HostileCase{"truncated.xlsx", ImportError::workbookUnreadable(), {}},
                                           HostileCase{"corrupt.xlsx", ImportError::workbookUnreadable(), {}},
                                           HostileCase{"fuzzed_69_bytes.xlsx", ImportError::workbookUnreadable(), {}},
                                           HostileCase{"fuzzed_85_bytes.xlsx", ImportError::workbookUnreadable(), {}},
                                           HostileCase{"lone_surrogate.xlsx", std::nullopt, {{"1", "a\uFFFDb"}}},
                                           HostileCase{"bomb_spaces_200M.xlsx", ImportError::worksheetTooLarge(), {}},
                                           HostileCase{"bomb_cell_300M.xlsx", ImportError::worksheetTooLarge(), {}},
                                           HostileCase{"amplify_1M_x_1000.xlsx", ImportError::worksheetTooLarge(), {}},
                                           HostileCase{"repeat_bomb.ods", ImportError::worksheetTooLarge(), {}},
                                           HostileCase{"oom.xls", ImportError::worksheetTooLarge(), {}}));

TEST(ReaderBounds, HelperMeetsItsMemoryCeilingBeforeTheSystemDoes)
{
    const fs::path path = sharedFile("hostile/oom.xls");
    if (!fs::exists(path))
        GTEST_SKIP() << path << " is absent";
    ScratchFolder folder;
    // The real helper with a ceiling of 256 MB instead of a share of the machine's memory.
    const auto locations =
        fakeHelper(folder, "exec '" + realHelper().string() + "' \"$1\" \"$2\" \"$3\" \"$4\" \"$5\" 268435456 \"$7\"");
    EXPECT_EQ(importErrorFrom([&] { SpreadsheetImporter::loadWithMetadata(path, {}, locations); }),
              ImportError::readerFailure("The worksheet is too large for the available memory."));
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
    if (!fs::exists(path))
        GTEST_SKIP() << path << " is absent";
    ScratchFolder folder;
    const fs::path pidFile = folder.path() / "helper.pid";
    const auto locations =
        fakeHelper(folder, "echo $$ > '" + pidFile.string() + "'; exec '" + realHelper().string() + "' \"$@\"");
    const pid_t importer = ::fork();
    ASSERT_GE(importer, 0);
    if (importer == 0) {
        try {
            SpreadsheetImporter::loadWithMetadata(path, {}, locations);
        } catch (...) {
        }
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
class TimeZoneTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (const char* zone = std::getenv("TZ"))
            previousZone_ = zone;
        ::setenv("TZ", GetParam().c_str(), 1);
    }
    void TearDown() override
    {
        if (previousZone_)
            ::setenv("TZ", previousZone_->c_str(), 1);
        else
            ::unsetenv("TZ");
    }

private:
    std::optional<std::string> previousZone_;
};

TEST_P(TimeZoneTest, DatesAreTheFilesOwnValues)
{
    const ImportedTable isoDate = SpreadsheetImporter::loadWithMetadata(fixture("iso-date.xlsx"));
    EXPECT_EQ(rowsOf(isoDate.table), (Rows{{"2021-01-01T10:10:10"}}));
    const fs::path ods = sharedFile("corpus/calamine/tests__date.ods");
    if (fs::exists(ods)) {
        EXPECT_THAT(SpreadsheetImporter::loadWithMetadata(ods).table.headers(), ElementsAre("2021-01-01", "15"));
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeZoneTest, ::testing::Values("UTC", "America/Los_Angeles", "Asia/Tokyo"),
                         [](const auto& info) { return std::to_string(info.index); });

// Payload decoding

class PayloadValidityTest : public ::testing::TestWithParam<Row> {};

TEST_P(PayloadValidityTest, AcceptsOnlyTheAgreedShape)
{
    EXPECT_EQ(WorkbookPayload::decode(GetParam()[1]).has_value(), GetParam()[0] == "valid") << GetParam()[1];
}

INSTANTIATE_TEST_SUITE_P(Shapes, PayloadValidityTest,
                         ::testing::ValuesIn(testing::tabSeparatedCases("workbook/worksheet-payloads.tsv")));

TEST(PayloadDecoding, LoneSurrogateEscapesBecomeReplacementCharacters)
{
    const auto payload =
        WorkbookPayload::decode(R"({"sheetNames":["a\ud800b","\udc00\ud800","\ud83d\ude00","\\ud800","\\\ud800"]})");
    ASSERT_TRUE(payload.has_value());
    EXPECT_THAT(payload->sheetNames, ElementsAre("a\uFFFDb", "\uFFFD\uFFFD", "\U0001F600", "\\ud800", "\\\uFFFD"));
}

TEST(PayloadDecoding, KeepsCellsExactlyAndEvensOutRows)
{
    const auto payload = WorkbookPayload::decode(
        R"({"rows":[["h1","h2"],[" x ","\u0000\n"],["only"],["a","b","c"]],"sheetNames":["S","T"]})");
    ASSERT_TRUE(payload.has_value());
    EXPECT_THAT(payload->sheetNames, ElementsAre("S", "T"));
    EXPECT_EQ(payload->rowCount, 4u);
    EXPECT_THAT(payload->firstRow, ElementsAre("h1", "h2"));
    ASSERT_TRUE(payload->laterRows.has_value());
    const CellStore& cells = *payload->laterRows;
    ASSERT_EQ(cells.rowCount(), 3u);
    EXPECT_EQ(cells.cell(0, 0), " x ");
    EXPECT_EQ(cells.cell(0, 1), std::string("\0\n", 2));
    EXPECT_EQ(cells.cell(1, 1), "");
    EXPECT_EQ(cells.cell(2, 1), "b");
}

}  // namespace
}  // namespace rowlark
