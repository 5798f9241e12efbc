// How rowlark-compare tells git's external-diff arguments from a command line of its own, and how
// the table diff shows values.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "cli/GitDiff.h"
#include "tests/support/CaseText.h"

namespace rowlark::cli {
namespace {

namespace fs = std::filesystem;

const std::string sha1(40, 'a');

// The lines of a case file of tests/data/cli/git, split at tabs and unescaped.
std::vector<std::vector<std::string>> caseLines(const std::string& name)
{
    std::ifstream file(fs::path(ROWLARK_TEST_DATA_FOLDER) / "cli/git" / name, std::ios::binary);
    std::vector<std::vector<std::string>> cases;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line.starts_with('#'))
            continue;
        std::vector<std::string>& fields = cases.emplace_back();
        for (std::size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
            tab = line.find('\t', start);
            fields.push_back(testing::unescaped(line.substr(start, tab - start)));
        }
    }
    return cases;
}

TEST(GitDiffArguments, AreGitsOnlyInGitsShape)
{
    const std::map<std::string, std::string> objectNames = {{"{sha1}", sha1},
                                                            {"{sha256}", std::string(64, '0')},
                                                            {"{upper-case-sha1}", "ABCDEF" + sha1.substr(6)},
                                                            {"{short-sha1}", sha1.substr(1)}};
    const auto cases = caseLines("diff-arguments.txt");
    EXPECT_EQ(cases.size(), 15u);
    for (std::vector<std::string> fields : cases) {
        for (std::string& field : fields)
            field = objectNames.contains(field) ? objectNames.at(field) : field;
        const std::vector<std::string_view> files(fields.begin() + 2, fields.end());
        EXPECT_EQ(gitDiffFiles(files, fields[1] == "run by git").has_value(), fields[0] == "git")
            << ::testing::PrintToString(fields);
    }
}

TEST(GitDiffArguments, NameBothPathsAndBothFiles)
{
    const std::vector<std::string_view> renamed = {
        "old.csv", "/tmp/1",  sha1,
        "100644",  "/tmp/2",  sha1,
        "100644",  "new.csv", "similarity index 100%\nrename from old.csv\nrename to new.csv\n"};
    const auto files = gitDiffFiles(renamed, false);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->oldPath, "old.csv");
    EXPECT_EQ(files->newPath, "new.csv");
    EXPECT_EQ(files->oldFile, "/tmp/1");
    EXPECT_EQ(files->newFile, "/tmp/2");
    EXPECT_FALSE(files->isUnmerged);

    const std::vector<std::string_view> unmerged = {"both.csv"};
    EXPECT_TRUE(gitDiffFiles(unmerged, true)->isUnmerged);
}

TEST(GitDiffValues, AreQuotedWhenTheyWouldNotReadBackAsThemselves)
{
    const auto cases = caseLines("shown-values.txt");
    EXPECT_EQ(cases.size(), 17u);
    for (const auto& fields : cases)
        EXPECT_EQ(shownValue(fields.at(0)), fields.at(1)) << fields.at(0);
}

TEST(GitDiffRecords, ListChangedFieldsAndOneSidedKeysInOrder)
{
    records::ComparisonSummary summary;
    summary.columns = {{0, 0, "id", "id", 0}, {1, 1, "", "", 1}, {2, 2, "city", "town", 1}};
    records::RowDifference changed{records::UUID::random(), "2", records::DiffStatus::changed, {}, {}, {}};
    changed.cells = {{records::UUID::random(), "", "", "Bob", "Bobby", 1},
                     {records::UUID::random(), "city", "town", "", "Rome", 2}};
    summary.differences = {
        changed,
        {records::UUID::random(), "3", records::DiffStatus::onlyLeft, {}, {}, {}},
        {records::UUID::random(), "", records::DiffStatus::onlyRight, {}, {}, {}},
    };
    const std::vector<std::size_t> selected = {0, 1, 2, 7};
    std::ostringstream out;
    writeRecordDifferences(out, summary, selected);
    EXPECT_EQ(out.str(), "~ 2\n"
                         "    Unnamed column 2: Bob \u2192 Bobby\n"
                         "    city: \"\" \u2192 Rome\n"
                         "- 3\n"
                         "+ Empty key\n");
    std::ostringstream some;
    const std::vector<std::size_t> last = {2};
    writeRecordDifferences(some, summary, last);
    EXPECT_EQ(some.str(), "+ Empty key\n");
}

TEST(FileUnderName, LinksTheFileUnderTheNameAndGoesAway)
{
    const fs::path file = fs::temp_directory_path() / "rowlark-blob-under-test";
    std::ofstream(file) << "content";
    fs::path folder;
    {
        const FileUnderName named(file, "some/folder/table.XLSX");
        EXPECT_EQ(named.path().filename(), "table.XLSX");
        std::ifstream read(named.path());
        std::string content;
        read >> content;
        EXPECT_EQ(content, "content");
        folder = named.path().parent_path();
    }
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(file));
    fs::remove(file);
}

}  // namespace
}  // namespace rowlark::cli
