#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/engine/workbook/SheetsText.h"

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;

workbook::ZIPArchive archiveOf(const std::string& bytes)
{
    auto archive =
        workbook::ZIPArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    if (!archive)
        throw std::runtime_error("not an archive");
    return std::move(*archive);
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

TEST(ODSReader, NamesOnlyAndMissingSheets)
{
    const std::string bytes =
        fileBytes(fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures" / "people.ods");
    auto archive = archiveOf(bytes);
    const WorkbookPayload names = workbook::readODS(archive, {std::nullopt, true}, {});
    EXPECT_EQ(testing::sheetsLine(names.sheets), "People|Other\n");
    EXPECT_EQ(names.rowCount, 0u);
    auto again = archiveOf(bytes);
    EXPECT_EQ(testing::lineOf(workbook::readODS(again, {std::string("Other"), false}, {}).firstRow), "code\n");
    auto missing = archiveOf(bytes);
    try {
        workbook::readODS(missing, {std::string("Nope"), false}, {});
        ADD_FAILURE() << "read a missing sheet";
    } catch (const ImportError& error) {
        EXPECT_EQ(error.errorDescription(), "The workbook does not contain a sheet named “Nope”.");
    }
}

TEST(ODSReader, StopsWhenAsked)
{
    const std::string bytes = fileBytes(testing::dataFolder() / "workbook" / "repeats.ods");
    auto archive = archiveOf(bytes);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(workbook::readODS(archive, {}, stop.get_token()), ImportCancelled);
}

}  // namespace
}  // namespace rowlark::workbook
