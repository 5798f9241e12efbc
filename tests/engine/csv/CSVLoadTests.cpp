#include "table/CSVTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <system_error>

#include <sys/stat.h>

#include "CSVTestSupport.h"
#include "csv/CSVError.h"

namespace rowlark {
namespace {

using namespace std::string_literals;
using testing::csvErrorOf;
using ::testing::HasSubstr;
using testing::Rows;
using testing::rowsOf;

std::filesystem::path dataFile(const std::string& name)
{
    const char* folder = std::getenv("ROWLARK_TEST_DATA");
    if (folder == nullptr) {
        ADD_FAILURE() << "ROWLARK_TEST_DATA is not set";
        return name;
    }
    return std::filesystem::path(folder) / "csv" / name;
}

// A file in a fresh folder of its own, removed with the folder.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& bytes)
        : folder_(std::filesystem::temp_directory_path() /
                  ("rowlark-csv-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name()))
    {
        std::filesystem::create_directories(folder_);
        std::ofstream(path(), std::ios::binary) << bytes;
    }
    ~TemporaryFile() { std::filesystem::remove_all(folder_); }
    std::filesystem::path path() const { return folder_ / "table.csv"; }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

TEST(Decoding, ReadsValidUTF8AsIs)
{
    const TemporaryFile file("id,name\n1,Ren\u00E9 \u65E5\u672C\n");
    EXPECT_EQ(rowsOf(CSVTable::load(file.path())), (Rows{{"1", "Ren\u00E9 \u65E5\u672C"}}));
}

TEST(Decoding, DropsTheByteOrderMarkBeforeScanning)
{
    const CSVTable table = CSVTable::load(dataFile("utf8-byte-order-mark-before-quoted-header.csv"));
    EXPECT_THAT(table.headers(), ::testing::ElementsAre("id", "name"));
    EXPECT_EQ(rowsOf(table), (Rows{{"1", "\u00E9"}}));
}

TEST(Decoding, DropsOnlyOneByteOrderMark)
{
    const TemporaryFile file("\xEF\xBB\xBF\xEF\xBB\xBF\"id\",x\n");
    EXPECT_THAT(CSVTable::load(file.path()).headers(), ::testing::ElementsAre("\"id\"", "x"));
}

TEST(Decoding, ReadsInvalidUTF8AsWindows1252)
{
    const CSVTable table = CSVTable::load(dataFile("windows-1252-accented-names.csv"));
    EXPECT_THAT(table.headers(), ::testing::ElementsAre("id", "name", "city"));
    EXPECT_EQ(rowsOf(table),
              (Rows{{"1", "Ren\u00E9", "Z\u00FCrich"}, {"2", "\u20AC 5", "\u0081\u008D\u008F\u0090\u009D"}}));
}

TEST(Decoding, OneInvalidByteTurnsTheWholeFileToWindows1252)
{
    const CSVTable table = CSVTable::load(dataFile("utf8-with-one-invalid-byte.csv"));
    EXPECT_EQ(rowsOf(table), (Rows{{"\u00C3\u00A9t\u00E9"}}));
}

TEST(Decoding, ALoneE9ByteIsEAcute)
{
    const TemporaryFile file("name\n\xE9\n");
    EXPECT_EQ(rowsOf(CSVTable::load(file.path())), (Rows{{"\u00E9"}}));
}

TEST(Decoding, ByteOrderMarkOfAWindows1252FileIsText)
{
    const TemporaryFile file("\xEF\xBB\xBFid\n\xE9\n");
    EXPECT_THAT(CSVTable::load(file.path()).headers(), ::testing::ElementsAre("\u00EF\u00BB\u00BFid"));
}

TEST(Loading, KeepsQuotedLineBreaksAsLineFeeds)
{
    const CSVTable table = CSVTable::load(dataFile("crlf-quoted-line-breaks.csv"));
    EXPECT_EQ(rowsOf(table), (Rows{{"1", "line one\nline two, with comma"}, {"2", "say \"hi\""}}));
}

TEST(Loading, KeepsNulBytes)
{
    const CSVTable table = CSVTable::load(dataFile("nul-bytes.csv"));
    EXPECT_EQ(rowsOf(table), (Rows{{"1", "a\0b"s}, {"\0"s, "\0"s}}));
}

TEST(Loading, ExpandsJSONObjectColumns)
{
    const CSVTable table = CSVTable::load(dataFile("json-address-column.csv"));
    EXPECT_THAT(table.structuredColumnIndices(), ::testing::ElementsAre(1u));
    EXPECT_GT(table.derivedColumnCount(), 0);
    EXPECT_EQ(table.cell(0, 1), "{\"city\":\"Oslo\",\"zip\":\"0150\"}");
}

TEST(Loading, ParsesWithoutExpansion)
{
    std::ifstream stream(dataFile("json-address-column.csv"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const CSVTable table = CSVTable::parse(text);
    EXPECT_EQ(table.columnCount(), 2u);
    EXPECT_TRUE(table.structuredColumnIndices().empty());
}

struct LoadFailureCase {
    std::string name;
    std::string file;
    CSVError error;
};

std::ostream& operator<<(std::ostream& stream, const LoadFailureCase& failureCase)
{
    return stream << failureCase.file;
}

class LoadFailureTest : public ::testing::TestWithParam<LoadFailureCase> {};

TEST_P(LoadFailureTest, FailsWithTheTypedError)
{
    EXPECT_EQ(csvErrorOf([&] { CSVTable::load(dataFile(GetParam().file)); }), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Files, LoadFailureTest,
                         ::testing::Values(LoadFailureCase{"Empty", "empty.csv", CSVError::empty()},
                                           LoadFailureCase{"UnclosedQuote", "unclosed-quote.csv",
                                                           CSVError::unclosedQuote()},
                                           LoadFailureCase{"OverWideThirdRecord", "over-wide-third-record.csv",
                                                           CSVError::tooManyColumns(3, 2, 3)}),
                         [](const auto& info) { return info.param.name; });

std::system_error fileErrorOf(const std::filesystem::path& path)
{
    try {
        CSVTable::load(path);
    } catch (const std::system_error& error) {
        return error;
    }
    ADD_FAILURE() << "expected a file system error";
    return std::system_error(0, std::generic_category());
}

TEST(FileErrors, AMissingFileReportsTheSystemMessage)
{
    const TemporaryFile file("");
    const auto missing = file.folder() / "missing.csv";
    const std::system_error error = fileErrorOf(missing);
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    EXPECT_STREQ(error.what(), std::strerror(ENOENT)) << "the caller names the file";
}

TEST(FileErrors, OnlyRegularFilesAreRead)
{
    const TemporaryFile file("");
    EXPECT_EQ(fileErrorOf(file.folder()).code(), std::errc::is_a_directory);
    const auto pipe = file.folder() / "pipe.csv";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(fileErrorOf(pipe).code(), std::errc::not_supported) << "refused without waiting for a writer";
}

}  // namespace
}  // namespace rowlark
