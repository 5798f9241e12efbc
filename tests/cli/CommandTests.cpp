// Runs the built rowlark-compare as a script would. Every folder of tests/data/cli with an "args"
// file is one case: "args" holds the arguments, one a line, with paths relative to tests/data, and
// "stdout", "stderr" and "status" what the program must print and return (an absent file: nothing,
// 0; "{version}" stands for the version the build was given).
// Below them, the checks that need links, pipes, a full disk or a signal.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "RowlarkVersion.h"
#include "cli/Command.h"
#include "engine/setups/Setup.h"
#include "engine/table/Table.h"
#include "engine/workbook/FileImport.h"

namespace rowlark::cli {
namespace {

namespace fs = std::filesystem;

const fs::path dataFolder = ROWLARK_TEST_DATA_FOLDER;
const fs::path casesFolder = dataFolder / "cli";
// What git prints through the program, for the repository tests at the end.
const fs::path gitCasesFolder = casesFolder / "git";
// Arguments may name the workbooks written at build time by this prefix.
constexpr std::string_view workbooksPrefix = "{workbooks}/";

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string shellQuoted(std::string_view text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The time taken differs from run to run, so it is compared as "<elapsed>".
std::string withElapsedTimeHidden(const std::string& text)
{
    static const std::regex elapsed(R"((Compared in )\d+\.\d\d( s)|("elapsedSeconds":)\d[\d.e+-]*)");
    return std::regex_replace(text, elapsed, "$1$3<elapsed>$2");
}

std::string withVersionFilledIn(std::string text)
{
    constexpr std::string_view placeholder = "{version}";
    if (const std::size_t at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), version);
    return text;
}

class CommandTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(folder_); }

    // Runs the program in `workingFolder`; its standard output goes to `output` when one is given.
    ProgramRun run(const std::vector<std::string>& arguments, const fs::path& workingFolder,
                   const fs::path& output = {}) const
    {
        std::vector<std::string> command = {ROWLARK_COMPARE_PROGRAM};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runProgram(command, workingFolder, output);
    }

    // Runs any program in `workingFolder`, as run() does.
    ProgramRun runProgram(const std::vector<std::string>& command, const fs::path& workingFolder,
                          const fs::path& output = {}) const
    {
        const fs::path out = folder_ / "stdout.txt";
        std::string line = "cd " + shellQuoted(workingFolder.string()) + " &&";
        for (const std::string& word : command)
            line += " " + shellQuoted(word);
        line += " >" + shellQuoted((output.empty() ? out : output).string()) + " 2>" +
                shellQuoted((folder_ / "stderr.txt").string());
        const int status = std::system(line.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(folder_ / "stderr.txt")};
    }

    std::vector<std::string> inputs(std::vector<std::string> arguments) const
    {
        arguments.push_back((casesFolder / "a.csv").string());
        arguments.push_back((casesFolder / "b.csv").string());
        return arguments;
    }

    std::string scratch_ = (fs::temp_directory_path() / "rowlark-cli-XXXXXX").string();
    const fs::path folder_ = ::mkdtemp(scratch_.data());
};

class RecordedCase : public CommandTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(RecordedCase, PrintsAndExitsAsRecorded)
{
    const fs::path folder = casesFolder / GetParam();
    std::vector<std::string> arguments;
    std::istringstream lines(readFile(folder / "args"));
    for (std::string line; std::getline(lines, line);)
        arguments.push_back(line.starts_with(workbooksPrefix)
                                ? (fs::path(ROWLARK_WORKBOOK_FIXTURES) / line.substr(workbooksPrefix.size())).string()
                                : line);
    const ProgramRun result = run(arguments, dataFolder);
    EXPECT_EQ(withElapsedTimeHidden(result.out), withVersionFilledIn(readFile(folder / "stdout")));
    EXPECT_EQ(withElapsedTimeHidden(result.err), readFile(folder / "stderr"));
    const std::string status = readFile(folder / "status");
    EXPECT_EQ(result.status, status.empty() ? 0 : std::stoi(status));
}

std::vector<std::string> caseNames()
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(casesFolder))
        if (fs::exists(entry.path() / "args"))
            names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Cli, RecordedCase, ::testing::ValuesIn(caseNames()), [](const auto& info) {
    std::string name = info.param;
    std::ranges::replace(name, '-', '_');
    return name;
});

TEST_F(CommandTest, ReportReplacesTheTargetOfALinkKeepingItsPermissions)
{
    std::ofstream(folder_ / "private.csv") << "old report";
    fs::permissions(folder_ / "private.csv", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("private.csv", folder_ / "link.csv");
    EXPECT_EQ(run(inputs({"--search", "bob", "--report", "link.csv"}), folder_).status, 1);
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.csv"));
    EXPECT_EQ(readFile(folder_ / "private.csv"), run(inputs({"--search", "bob", "--report", "-"}), folder_).out);
    EXPECT_EQ(fs::status(folder_ / "private.csv").permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

std::vector<std::vector<std::string>> tableRows(const rowlark::table::Table& table)
{
    std::vector<std::vector<std::string>> rows{table.headers()};
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        rows.push_back(table.rowStrings(row));
    return rows;
}

// A pair inside --all-sheets gives the summary and the report rows it gives compared alone.
TEST_F(CommandTest, APairComparedAloneAndInAllSheetsAgrees)
{
    const std::string left = (fs::path(ROWLARK_WORKBOOK_FIXTURES) / "sheets-a.xlsx").string();
    const std::string right = (fs::path(ROWLARK_WORKBOOK_FIXTURES) / "sheets-b.xlsx").string();
    const std::vector<std::string> edits{"--rules", "proposed", "--filter", "changed"};
    std::vector<std::string> all{"--all-sheets", "--json", "--report", "all.xlsx"};
    all.insert(all.end(), edits.begin(), edits.end());
    all.insert(all.end(), {left, right});
    const ProgramRun together = run(all, folder_);
    EXPECT_EQ(together.status, 1) << together.err;
    const std::vector<std::pair<std::string, std::string>> pairs{
        {"Orders", " orders"}, {"Customers", "Customers"}, {"Lookup", "LOOKUP"}};
    for (const auto& [sheetA, sheetB] : pairs) {
        std::vector<std::string> alone{"--json", "--sheet-a", sheetA, "--sheet-b", sheetB, "--report", "one.xlsx"};
        alone.insert(alone.end(), edits.begin(), edits.end());
        alone.insert(alone.end(), {left, right});
        const ProgramRun single = run(alone, folder_);
        std::string summary = withElapsedTimeHidden(single.out);
        summary.pop_back();  // the line break
        EXPECT_NE(withElapsedTimeHidden(together.out).find("\"summary\":" + summary), std::string::npos)
            << sheetA << ": " << single.out;
        const auto rowsOf = [this](const std::string& file, const std::string& sheet) {
            return tableRows(rowlark::workbook::FileImport::readTable(
                                 folder_ / file, sheet, {}, {}, rowlark::workbook::FileImport::WorkbookReader::native)
                                 .table);
        };
        EXPECT_EQ(rowsOf("all.xlsx", sheetA), rowsOf("one.xlsx", "Report")) << sheetA;
    }
}

// The report of --all-sheets: the Summary first, then a worksheet a pair, each named after its
// File A sheet; hidden sheets marked, unpaired ones listed, failed pairs with their error.
TEST_F(CommandTest, AllSheetsReportHasASummaryAndAWorksheetAPair)
{
    const fs::path fixtures(ROWLARK_WORKBOOK_FIXTURES);
    EXPECT_EQ(run({"--all-sheets", "--key", "qty", "--report", "sheets.xlsx", (fixtures / "sheets-a.xlsx").string(),
                   (fixtures / "sheets-b.xlsx").string()},
                  folder_)
                  .status,
              2);
    const auto summary = rowlark::workbook::FileImport::readTable(
        folder_ / "sheets.xlsx", "Summary", {}, {}, rowlark::workbook::FileImport::WorkbookReader::native);
    EXPECT_EQ(rowlark::workbook::sheetNames(summary.sheets), (std::vector<std::string>{"Summary", "Orders"}));
    const auto rows = tableRows(summary.table);
    const auto hasRow = [&rows](const std::vector<std::string>& start) {
        return std::ranges::any_of(rows, [&start](const std::vector<std::string>& row) {
            return row.size() >= start.size() && std::equal(start.begin(), start.end(), row.begin());
        });
    };
    EXPECT_TRUE(hasRow({"Orders", " orders", "Orders", "qty", "3", "3", "1", "0", "2", "2", "4"}));
    const std::string error = "no column \u201Cqty\u201D in File A (sheets-a.xlsx)";
    EXPECT_TRUE(hasRow({"Lookup (hidden)", "LOOKUP (hidden)", "", "", "", "", "", "", "", "", "", error}));
    EXPECT_TRUE(hasRow({"Only in File A", "Notes"}));
    EXPECT_TRUE(hasRow({"Only in File B", "Archive"}));
    EXPECT_TRUE(hasRow({"Only in File B", "Extra"}));
}

TEST_F(CommandTest, AnXLSXReportPathWritesAWorkbookOfTheCSVReport)
{
    EXPECT_EQ(run(inputs({"--report", "Report.XLSX"}), folder_).status, 1);
    const auto workbook = rowlark::workbook::FileImport::readTable(
        folder_ / "Report.XLSX", "Report", {}, {}, rowlark::workbook::FileImport::WorkbookReader::native);
    EXPECT_EQ(rowlark::workbook::sheetNames(workbook.sheets), (std::vector<std::string>{"Report", "Summary"}));
    EXPECT_EQ(tableRows(workbook.table),
              tableRows(rowlark::table::Table::parse(run(inputs({"--report", "-"}), folder_).out)));
}

TEST_F(CommandTest, AnHTMLReportPathWritesTheWebPageOfTheSelection)
{
    const ProgramRun result =
        run(inputs({"--filter", "changed", "--search", " BOB ", "--report", "Page.HTM"}), folder_);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Exported 1 records to Page.HTM.\n"), std::string::npos) << result.out;
    const std::string page = readFile(folder_ / "Page.HTM");
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>"));
    EXPECT_NE(page.find("<dd>Changed rows \u00B7 containing \u201CBOB\u201D</dd>"), std::string::npos);
    EXPECT_NE(page.find("This page holds 1 of the 3 differences."), std::string::npos);
    EXPECT_NE(page.find("[0,\"2\",[\"2\",\"Bob\""), std::string::npos);
}

// The setup saved by a run compares the same way again; files below its folder are named relative to it.
TEST_F(CommandTest, ASavedSetupRepeatsTheComparison)
{
    fs::create_directory(folder_ / "data");
    fs::copy_file(casesFolder / "a.csv", folder_ / "data" / "a.csv");
    const std::vector<std::string> edits = {"--exclude", "email", "--ignore-case", "--filter", "changed"};
    std::vector<std::string> saving = edits;
    saving.insert(saving.end(), {"--save-setup", "weekly.rowlark", "data/a.csv", (casesFolder / "b.csv").string()});
    const ProgramRun saved = run(saving, folder_);
    EXPECT_EQ(saved.status, 1);
    EXPECT_NE(saved.out.find("Saved the setup to weekly.rowlark.\n"), std::string::npos) << saved.out;
    const setups::Setup setup = setups::read(folder_ / "weekly.rowlark");
    EXPECT_EQ(setup.left, (setups::FileEntry{"data/a.csv", std::nullopt}));
    EXPECT_EQ(setup.right, (setups::FileEntry{(casesFolder / "b.csv").string(), std::nullopt}));
    EXPECT_TRUE(setup.ignoreCase);
    const auto mapped = [](const char* header, bool isKey, bool isIncluded) {
        return setups::MappingEntry{{header, 1}, setups::ColumnName{header, 1}, isKey, isIncluded, std::nullopt};
    };
    EXPECT_EQ(setup.mappings,
              (std::vector<setups::MappingEntry>{mapped("id", true, true), mapped("name", false, true),
                                                 mapped("email", false, false), mapped("city", false, true)}));
    EXPECT_EQ(setup.results, (setups::ResultsView{records::ResultFilter::changed, "", std::nullopt}));
    fs::create_directory(folder_ / "elsewhere");
    const ProgramRun repeated = run({"--setup", "../weekly.rowlark"}, folder_ / "elsewhere");
    EXPECT_EQ(repeated.status, saved.status);
    EXPECT_EQ(repeated.err, "");
    std::string expected = saved.out;
    expected.erase(expected.find("Saved the setup to weekly.rowlark.\n"), 35);
    EXPECT_EQ(withElapsedTimeHidden(repeated.out), withElapsedTimeHidden(expected));
}

TEST_F(CommandTest, WriteErrorsOnStandardOutputExitWithTwo)
{
    for (const std::vector<std::string>& arguments :
         {inputs({}), inputs({"--json"}), inputs({"--report", "-"}), inputs({"--mapping"}), {"--help"}}) {
        const ProgramRun result = run(arguments, folder_, "/dev/full");
        EXPECT_EQ(result.status, 2) << arguments.front();
        EXPECT_EQ(result.err, "rowlark-compare: standard output: No space left on device\n") << arguments.front();
    }
}

TEST_F(CommandTest, APipeIsNoInputFile)
{
    ASSERT_EQ(::mkfifo((folder_ / "pipe.csv").c_str(), 0600), 0);
    const ProgramRun result = run({"pipe.csv", (casesFolder / "b.csv").string()}, folder_);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "rowlark-compare: File A: pipe.csv is not a regular file.\n");
}

// The report outgrows the file size limit while it is written; the signal that brings ends the
// run with SIGTERM, as if the user had stopped it then.
TEST_F(CommandTest, TerminationRemovesAnUnfinishedReport)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        removeUnfinishedReportOnTermination();
        std::signal(SIGXFSZ, [](int) { std::raise(SIGTERM); });
        const rlimit limit{64, 64};
        const std::vector<std::string> paths = inputs({"--report", (folder_ / "report.csv").string()});
        const std::vector<std::string_view> arguments(paths.begin(), paths.end());
        std::ostringstream out;
        std::ostringstream err;
        if (::setrlimit(RLIMIT_FSIZE, &limit) == 0)
            runCommand(arguments, out, err);
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(fs::is_empty(folder_));
}

// git runs the program as the external diff of table files and as a difftool, in a repository of
// its own that no configuration outside it reaches.
class GitRepositoryTest : public CommandTest {
protected:
    void SetUp() override
    {
        if (std::system("git --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "git is not installed";
        ::setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
        ::setenv("GIT_CONFIG_GLOBAL", "/dev/null", 1);
        fs::create_directory(repository_);
        git({"init", "-q"});
        git({"config", "user.name", "Rowlark"});
        git({"config", "user.email", "rowlark@example.org"});
        git({"config", "diff.rowlark.command", ROWLARK_COMPARE_PROGRAM});
        std::ofstream(repository_ / ".gitattributes") << "*.csv diff=rowlark\n*.xlsx diff=rowlark\n";
    }

    std::string git(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), "git");
        const ProgramRun result = runProgram(arguments, repository_);
        EXPECT_EQ(result.status, 0) << arguments[1] << ": " << result.err;
        return result.out;
    }

    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(repository_ / name, std::ios::binary) << text;
    }

    void commitAll(const std::string& message) const
    {
        git({"add", "-A"});
        git({"commit", "-q", "-m", message});
    }

    const fs::path repository_ = folder_ / "repository";
};

TEST_F(GitRepositoryTest, DiffShowsChangedAddedAndRemovedTablesRecordByRecord)
{
    write("people.csv", "id,name,city\n1,Ann,Paris\n2,Bob,Rome\n3,Cy,Oslo\n");
    write("gone.csv", "code,label\nx,one\ny,two\n");
    fs::copy_file(fs::path(ROWLARK_WORKBOOK_FIXTURES) / "people.xlsx", repository_ / "book.xlsx");
    commitAll("first");
    write("people.csv", "id,name,city\n1,Ann,Paris\n2,Bobby,Rome\n4,Dee,\"Lima\nPeru\"\n");
    fs::remove(repository_ / "gone.csv");
    write("new.csv", "code,label\nz,three\n");
    fs::copy_file(fs::path(ROWLARK_WORKBOOK_FIXTURES) / "people-csv.Xlsx", repository_ / "book.xlsx",
                  fs::copy_options::overwrite_existing);
    commitAll("second");

    EXPECT_EQ(git({"diff", "HEAD~1", "HEAD"}), readFile(gitCasesFolder / "changed-added-and-removed.diff"));
}

TEST_F(GitRepositoryTest, DiffFollowsARenameAndTakesTheDriversOptions)
{
    write("before.csv", "id,name\n1,Ann\n2,Bob\n3,Cy\n4,Di\n5,Ed\n6,Flo\n");
    commitAll("first");
    git({"mv", "before.csv", "after.csv"});
    write("after.csv", "id,name\n1,ANN\n2,Bob\n3,Cy\n4,Di\n5,Ed\n6,Flo\n");
    commitAll("renamed");
    git({"config", "diff.rowlark.command", shellQuoted(ROWLARK_COMPARE_PROGRAM) + " --ignore-case"});
    EXPECT_EQ(git({"diff", "-M", "HEAD~1", "HEAD"}), readFile(gitCasesFolder / "renamed.diff"));
}

TEST_F(GitRepositoryTest, AnUnmergedPathIsNamed)
{
    write("shared.csv", "id,name\n1,Ann\n");
    commitAll("first");
    git({"checkout", "-q", "-b", "other"});
    write("shared.csv", "id,name\n1,Anne\n");
    commitAll("other");
    git({"checkout", "-q", "-"});
    write("shared.csv", "id,name\n1,Annie\n");
    commitAll("mine");
    EXPECT_NE(runProgram({"git", "merge", "-q", "other"}, repository_).status, 0);
    EXPECT_EQ(git({"diff", "--cached"}), "* Unmerged path shared.csv\n");
}

TEST_F(GitRepositoryTest, DifftoolRunsTheProgramOnBothVersions)
{
    write("people.csv", "id,name\n1,Ann\n2,Bob\n");
    commitAll("first");
    write("people.csv", "id,name\n1,Ann\n2,Bobby\n");
    const ProgramRun result =
        runProgram({"git", "difftool", "--no-prompt", "--extcmd=" + shellQuoted(ROWLARK_COMPARE_PROGRAM)}, repository_);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(withElapsedTimeHidden(result.out), readFile(gitCasesFolder / "difftool.out"));
}

}  // namespace
}  // namespace rowlark::cli
