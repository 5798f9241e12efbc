// Runs the built rowlark-compare as a script would. Every folder of tests/data/cli is one case: its
// "args" file holds the arguments, one a line, with paths relative to tests/data, and its "stdout",
// "stderr" and "status" files what the program must print and return (an absent file: nothing, 0;
// "{version}" stands for the version the build was given).
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
#include "engine/table/Table.h"
#include "engine/workbook/FileImport.h"

namespace rowlark::cli {
namespace {

namespace fs = std::filesystem;

const fs::path dataFolder = ROWLARK_TEST_DATA_FOLDER;
const fs::path casesFolder = dataFolder / "cli";
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
        const fs::path out = folder_ / "stdout.txt";
        std::string command =
            "cd " + shellQuoted(workingFolder.string()) + " && " + shellQuoted(ROWLARK_COMPARE_PROGRAM);
        for (const std::string& argument : arguments)
            command += " " + shellQuoted(argument);
        command += " >" + shellQuoted((output.empty() ? out : output).string()) + " 2>" +
                   shellQuoted((folder_ / "stderr.txt").string());
        const int status = std::system(command.c_str());
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
        if (entry.is_directory())
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

TEST_F(CommandTest, AnXLSXReportPathWritesAWorkbookOfTheCSVReport)
{
    EXPECT_EQ(run(inputs({"--report", "Report.XLSX"}), folder_).status, 1);
    const auto workbook = rowlark::workbook::FileImport::readTable(
        folder_ / "Report.XLSX", "Report", {}, {}, rowlark::workbook::FileImport::WorkbookReader::native);
    EXPECT_EQ(workbook.sheets, (std::vector<std::string>{"Report", "Summary"}));
    EXPECT_EQ(tableRows(workbook.table),
              tableRows(rowlark::table::Table::parse(run(inputs({"--report", "-"}), folder_).out)));
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

}  // namespace
}  // namespace rowlark::cli
