// How rowlark-compare tells git's external-diff arguments from a command line of its own, and how
// the table diff shows values.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/GitDiff.h"

namespace rowlark::cli {
namespace {

namespace fs = std::filesystem;

const std::string sha1(40, 'a');
const std::string sha256(64, '0');
const std::string upperCaseSHA1 = "ABCDEF" + sha1.substr(6);
const std::string shortSHA1 = sha1.substr(1);

struct ArgumentsCase {
    std::vector<std::string_view> files;
    bool isRunByGit;
    bool isGit;
};

TEST(GitDiffArguments, AreGitsOnlyInGitsShape)
{
    const std::vector<ArgumentsCase> cases = {
        {{"t.csv", "/tmp/x", sha1, "100644", "t.csv", sha1, "100644"}, false, true},
        {{"t.csv", "/tmp/x", sha256, "100755", "t.csv", sha256, "120000"}, false, true},
        {{"t.csv", "/dev/null", ".", ".", "t.csv", sha1, "100644"}, false, true},
        {{"t.csv", "/tmp/x", sha1, "100644", "/dev/null", ".", "."}, false, true},
        {{"t.csv", "/tmp/x", sha1, "100644", "/tmp/y", sha1, "100644", "u.csv", "similarity index 90%"}, false, true},
        {{"t.csv"}, true, true},
        {{"t.csv"}, false, false},
        {{"a.csv", "b.csv"}, true, false},
        {{"t.csv", "/tmp/x", sha1, "100644", "t.csv", sha1}, false, false},
        {{"t.csv", "/tmp/x", sha1, "100644", "t.csv", sha1, "100644", "u.csv"}, false, false},
        {{"t.csv", "/tmp/x", upperCaseSHA1, "100644", "t.csv", sha1, "100644"}, false, false},
        {{"t.csv", "/tmp/x", shortSHA1, "100644", "t.csv", sha1, "100644"}, false, false},
        {{"t.csv", "/tmp/x", sha1, "100648", "t.csv", sha1, "100644"}, false, false},
        {{"t.csv", "/tmp/x", sha1, "100644", "t.csv", sha1, "10644"}, false, false},
        {{"a.csv", "b.csv", "c.csv", "d.csv", "e.csv", "f.csv", "g.csv"}, false, false},
    };
    for (const ArgumentsCase& entry : cases) {
        std::string shown;
        for (const std::string_view file : entry.files)
            shown.append(file).append(" ");
        EXPECT_EQ(gitDiffFiles(entry.files, entry.isRunByGit).has_value(), entry.isGit) << shown;
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
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Bob", "Bob"},
        {"two words", "two words"},
        {"Zürich", "Zürich"},
        {"", R"("")"},
        {" padded", R"(" padded")"},
        {"padded\u00a0", "\"padded\u00a0\""},
        {"line\nbreak", R"("line\nbreak")"},
        {"cr\r\nlf", R"("cr\r\nlf")"},
        {"tab\there", R"("tab\there")"},
        {std::string("nul\0!", 5), R"("nul\u0000!")"},
        {"bell\x07", R"("bell\u0007")"},
        {"del\x7f", R"("del\u007f")"},
        {R"("quoted")", R"("\"quoted\"")"},
        {R"(say "hi")", R"(say "hi")"},
        {R"(back\slash)", R"(back\slash)"},
        {"a \u2192 b", "\"a \u2192 b\""},
        {R"("\)", R"("\"\\")"},
    };
    for (const auto& [value, shown] : cases)
        EXPECT_EQ(shownValue(value), shown) << value;
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
