#include "engine/table/Table.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <sys/stat.h>

#include "engine/csv/CSVError.h"
#include "engine/text/Encoding.h"
#include "tests/engine/csv/CSVTestSupport.h"

namespace rowlark::csv {
namespace {

namespace fs = std::filesystem;
using testing::dataFolder;
using testing::fileText;

class DataFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DataFileTest, LoadsAsExpected)
{
    testing::expectLoadsAsExpected("csv", GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, DataFileTest, ::testing::ValuesIn(testing::dataFileNames("csv", ".csv")),
                         testing::testNameOf);

TEST(Parsing, LeavesJSONColumnsUnexpanded)
{
    const table::Table table = table::Table::parse(fileText(dataFolder() / "csv" / "json-address-column.csv"));
    EXPECT_EQ(table.columnCount(), 2u);
    EXPECT_TRUE(table.structuredColumnIndices().empty());
}

std::system_error fileErrorOf(const fs::path& path)
{
    try {
        table::Table::load(path);
    } catch (const std::system_error& error) {
        return error;
    }
    ADD_FAILURE() << "expected a file system error";
    return std::system_error(0, std::generic_category());
}

class LoadedFiles : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder_); }
    void TearDown() override { fs::remove_all(folder_); }

    const fs::path folder_ = fs::temp_directory_path() /
                             ("rowlark-csv-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(LoadedFiles, AMissingFileReportsTheSystemMessage)
{
    const std::system_error error = fileErrorOf(folder_ / "missing.csv");
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    EXPECT_STREQ(error.what(), std::strerror(ENOENT)) << "the caller names the file";
}

TEST_F(LoadedFiles, OnlyRegularFilesAreRead)
{
    EXPECT_EQ(fileErrorOf(folder_).code(), std::errc::is_a_directory);
    const auto pipe = folder_ / "pipe.csv";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(fileErrorOf(pipe).code(), std::errc::not_supported) << "refused without waiting for a writer";
}

// The file is read in pieces of 1 MiB and checked for UTF-8 piece by piece: a character cut by a
// piece's end is still read as UTF-8, and a text that is not UTF-8 anywhere is still read as
// Windows-1252 as a whole.
TEST_F(LoadedFiles, CharactersAcrossReadPiecesKeepTheEncodingOfTheWholeFile)
{
    constexpr std::size_t pieceBytes = std::size_t{1} << 20;
    const fs::path path = folder_ / "large.csv";
    for (const std::string probe :
         {"\xF0\x9F\x98\x80", "\xC3\xA9", "\xE2\x82\xAC", "\x80", "\xF0\x9F\x98", "\x80\x80\x80\x80\x80", "\xC3"}) {
        for (std::size_t end = pieceBytes; end <= pieceBytes + probe.size() + 1; ++end) {
            const std::string header = "h\n";
            const std::string cell = std::string(end - header.size() - probe.size(), 'a') + probe + "b";
            {
                std::ofstream file(path, std::ios::binary | std::ios::trunc);
                file << header << cell << '\n';
            }
            const table::Table table = table::Table::load(path);
            const std::string expected = text::isValidUTF8(cell) ? cell : text::decodeWindows1252(cell);
            ASSERT_EQ(table.rowCount(), 1u);
            EXPECT_TRUE(table.cell(0, 0) == expected) << ::testing::PrintToString(probe) << " ending at " << end;
        }
    }
}

}  // namespace
}  // namespace rowlark::csv
