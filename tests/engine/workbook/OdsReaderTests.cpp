#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "../csv/CSVTestSupport.h"
#include "NativeAgreement.h"
#include "workbook/ImportError.h"

namespace rowlark {
namespace {

namespace fs = std::filesystem;
using testing::nativeAndLibraryReads;

WorkbookPayload readOdsPayload(workbook::ZipArchive& archive, const workbook::NativeRequest& request)
{
    return workbook::readOds(archive, request, {});
}

std::vector<fs::path> odsFilesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(folder, error); !error && entry != fs::end(entry);
         entry.increment(error)) {
        if (entry->path().extension() == ".ods")
            files.push_back(entry->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The workbooks written at build time beside the test program.
fs::path fixtures()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures";
}

std::string errorText(const ImportError& error)
{
    return "error: " + error.errorDescription() + '\n';
}

// Every ODS workbook at hand reads natively exactly as the library reads it: the fixtures, the
// shared real-world and hostile ones, and hand-written ones for the rules those leave out (repeated
// rows and columns, paragraph text, attribute spellings). Apart from the library's faults the native
// reader mends: a password-protected workbook fails there on the sizes of its encrypted parts, and
// a cell holding a value without a paragraph reads as empty.
TEST(OdsReader, ReadsEveryWorkbookAsTheLibraryDoes)
{
    const std::map<std::string, std::string> mended = {
        {"tests__pass_protected.ods", errorText(ImportError::encryptedWorkbook())},
        {"encrypted.ods", errorText(ImportError::encryptedWorkbook())},
        {"values-without-paragraphs.ods",
         "sheets: Values\nread: Values\nnumber|1.5|0.1|12345678901|TRUE|2020-02-03T04:05:06|1900-01-01T12:10:00|s\n"},
    };
    std::vector<fs::path> files = odsFilesIn(fixtures());
    for (const fs::path& folder : {testing::dataFolder() / "workbook", fs::path(ROWLARK_SHARED_DATA) / "corpus",
                                   fs::path(ROWLARK_SHARED_DATA) / "hostile"}) {
        const std::vector<fs::path> more = odsFilesIn(folder);
        files.insert(files.end(), more.begin(), more.end());
    }
    for (const fs::path& file : files) {
        const auto texts = nativeAndLibraryReads(file, std::nullopt, readOdsPayload);
        const auto mend = mended.find(file.filename().string());
        EXPECT_EQ(texts.native, mend == mended.end() ? texts.library : mend->second) << file;
    }
}

TEST(OdsReader, NamesOnlyAndMissingSheets)
{
    EXPECT_EQ(testing::nativeSheetNames(fixtures() / "people.ods", readOdsPayload), "sheets: People|Other\nrows: 0\n");
    for (const char* sheet : {"Other", "Nope"}) {
        const auto texts = nativeAndLibraryReads(fixtures() / "people.ods", sheet, readOdsPayload);
        EXPECT_EQ(texts.native, texts.library);
    }
}

TEST(OdsReader, StopsWhenAsked)
{
    std::ifstream stream(testing::dataFolder() / "workbook" / "repeats.ods", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    auto archive = workbook::ZipArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(archive);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(workbook::readOds(*archive, {}, stop.get_token()), ImportCancelled);
}

}  // namespace
}  // namespace rowlark
