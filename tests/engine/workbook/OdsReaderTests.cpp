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

std::string errorText(const ImportError& error)
{
    return "error: " + error.errorDescription() + '\n';
}

// Every ODS workbook at hand reads natively exactly as the library reads it, apart from the
// library's faults the native reader mends: a password-protected workbook fails there on the
// sizes of its encrypted parts.
TEST(OdsReader, ReadsEveryWorkbookAsTheLibraryDoes)
{
    const std::map<std::string, std::string> mended = {
        {"tests__pass_protected.ods", errorText(ImportError::encryptedWorkbook())}};
    const fs::path fixtures = fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures";
    std::vector<fs::path> files = odsFilesIn(fixtures);
    for (const char* folder : {"corpus", "hostile"}) {
        const std::vector<fs::path> shared = odsFilesIn(fs::path(ROWLARK_SHARED_DATA) / folder);
        files.insert(files.end(), shared.begin(), shared.end());
    }
    for (const fs::path& file : files) {
        const auto texts = nativeAndLibraryReads(file, std::nullopt, readOdsPayload);
        const auto mend = mended.find(file.filename().string());
        EXPECT_EQ(texts.native, mend == mended.end() ? texts.library : mend->second) << file;
    }
}

fs::path handWritten(const std::string& name)
{
    return testing::dataFolder() / "workbook" / name;
}

// Hand-written workbooks for the rules the real ones leave out, with the library's faults mended:
// a value without a paragraph shows the value, and an encrypted workbook says so.
TEST(OdsReader, RepeatsValuesWithoutParagraphsAndEncryption)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        // A row repeated three times with a cell repeated twice; the copies to the right count only
        // where another cell's start widens the range; empty repeats past everything count for nothing.
        {"repeats.ods", "sheets: Repeats\nread: Repeats\na|a|b\na|a|b\na|a|b\nc|d|d\n"},
        {"values-without-paragraphs.ods",
         "sheets: Values\nread: Values\nnumber|1.5|0.1|12345678901|TRUE|2020-02-03T04:05:06|1900-01-01T12:10:00|s\n"},
        {"encrypted.ods", errorText(ImportError::encryptedWorkbook())},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(nativeAndLibraryReads(handWritten(name), std::nullopt, readOdsPayload).native, expected) << name;
}

TEST(OdsReader, NamesOnlyAndMissingSheets)
{
    const fs::path fixtures = fs::read_symlink("/proc/self/exe").parent_path() / "workbook-fixtures";
    EXPECT_EQ(testing::nativeSheetNames(fixtures / "people.ods", readOdsPayload), "sheets: People|Other\nrows: 0\n");
    for (const char* sheet : {"Other", "Nope"}) {
        const auto texts = nativeAndLibraryReads(fixtures / "people.ods", sheet, readOdsPayload);
        EXPECT_EQ(texts.native, texts.library);
    }
}

TEST(OdsReader, StopsWhenAsked)
{
    std::ifstream stream(handWritten("repeats.ods"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    auto archive = workbook::ZipArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(archive);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(workbook::readOds(*archive, {}, stop.get_token()), ImportCancelled);
}

}  // namespace
}  // namespace rowlark
