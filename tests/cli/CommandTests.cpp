// Runs the built rowlark-compare on small files, as a script would.

#include <rapidjson/document.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/Command.h"

namespace rowlark {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace fs = std::filesystem;

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

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ =
            fs::temp_directory_path() / ("rowlark-cli-" + std::to_string(::getpid()) + "-" + test->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        write("a.csv",
              "id,name,email,city\n1,Ann,ann@x.org,Berlin\n2,Bob,bob@x.org,Paris\n3,Cy,cy@x.org,Rome\n");
        write("b.csv",
              "id,name,email,city\n1,Ann,ann@x.org,Berlin\n2,Bobby,bob@x.org,Paris\n4,Di,di@x.org,Oslo\n");
    }

    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const std::string& name, std::string_view text)
    {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return folder_ / name;
    }

    fs::path path(const std::string& name) const { return folder_ / name; }

    // Runs the program in the test's folder, so that file names are short and relative.
    ProgramRun run(const std::vector<std::string>& arguments, const std::string& output = "stdout.txt") const
    {
        std::string command =
            "cd " + shellQuoted(folder_.string()) + " && " + shellQuoted(ROWLARK_COMPARE_PROGRAM);
        for (const std::string& argument : arguments)
            command += " " + shellQuoted(argument);
        command += " >" + shellQuoted(output) + " 2>stderr.txt";
        const int status = std::system(command.c_str());
        ProgramRun result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readFile(folder_ / "stdout.txt");
        result.err = readFile(folder_ / "stderr.txt");
        return result;
    }

    rapidjson::Document runJSON(const std::vector<std::string>& arguments, int expectedStatus) const
    {
        const ProgramRun result = run(arguments);
        EXPECT_EQ(result.status, expectedStatus) << result.err;
        rapidjson::Document document;
        document.Parse(result.out.c_str());
        EXPECT_FALSE(document.HasParseError()) << result.out;
        return document;
    }

    fs::path folder_;
};

std::vector<std::string> memberNames(const rapidjson::Value& object)
{
    std::vector<std::string> names;
    for (const auto& member : object.GetObject())
        names.emplace_back(member.name.GetString());
    return names;
}

// The mapping entry of one File A column.
const rapidjson::Value& mappingOf(const rapidjson::Document& document, int leftIndex)
{
    return document["mappings"][static_cast<rapidjson::SizeType>(leftIndex)];
}

TEST_F(CommandTest, IdenticalFilesExitWithZeroAndASummary)
{
    const ProgramRun result = run({"a.csv", "a.csv"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Matching: 3\nChanged: 0\nOnly in a.csv: 0\nOnly in a.csv: 0\n"));
    EXPECT_THAT(result.out, HasSubstr("Compared in "));
    EXPECT_THAT(result.err, IsEmpty());
}

TEST_F(CommandTest, DifferencesExitWithOneAndAreCountedPerFile)
{
    const ProgramRun result = run({"a.csv", "b.csv"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_THAT(result.out,
                HasSubstr("a.csv: 3 rows; b.csv: 3 rows\nMatching: 1\nChanged: 1\nOnly in a.csv: 1\n"
                          "Only in b.csv: 1\n"));
}

TEST_F(CommandTest, JSONSummaryHasItsFixedShape)
{
    const rapidjson::Document summary = runJSON({"--json", "a.csv", "b.csv"}, 1);
    ASSERT_TRUE(summary.IsObject());
    EXPECT_THAT(memberNames(summary),
                ElementsAreArray({"leftName", "rightName", "leftRows", "rightRows", "matchingRows", "changed",
                                  "onlyLeft", "onlyRight", "ambiguousDuplicateKeyGroups", "keyWarning",
                                  "elapsedSeconds"}));
    EXPECT_STREQ(summary["leftName"].GetString(), "a.csv");
    EXPECT_STREQ(summary["rightName"].GetString(), "b.csv");
    EXPECT_EQ(summary["leftRows"].GetInt(), 3);
    EXPECT_EQ(summary["matchingRows"].GetInt(), 1);
    EXPECT_EQ(summary["changed"].GetInt(), 1);
    EXPECT_EQ(summary["onlyLeft"].GetInt(), 1);
    EXPECT_EQ(summary["onlyRight"].GetInt(), 1);
    EXPECT_EQ(summary["ambiguousDuplicateKeyGroups"].GetInt(), 0);
    EXPECT_STREQ(summary["keyWarning"].GetString(), "");
    EXPECT_TRUE(summary["elapsedSeconds"].IsNumber());
    EXPECT_GE(summary["elapsedSeconds"].GetDouble(), 0);
}

TEST_F(CommandTest, KeyAndAmbiguityWarningsAreReported)
{
    write("dup-a.csv", "id,v\n7,x\n7,y\n,z\n");
    write("dup-b.csv", "id,v\n7,q\n");
    const rapidjson::Document summary = runJSON({"--json", "dup-a.csv", "dup-b.csv"}, 1);
    EXPECT_STREQ(
        summary["keyWarning"].GetString(),
        "Empty key components: 1 in dup-a.csv, 0 in dup-b.csv. Repeated keys: 1 groups in dup-a.csv, 0 in "
        "dup-b.csv. Add another key column if these are distinct records.");
    EXPECT_EQ(summary["ambiguousDuplicateKeyGroups"].GetInt(), 1);
    const ProgramRun text = run({"dup-a.csv", "dup-b.csv"});
    EXPECT_THAT(text.out, HasSubstr("Repeated keys: 1 groups in dup-a.csv"));
    EXPECT_THAT(text.out,
                HasSubstr("1 duplicate-key groups have ambiguous pairings. Review them or add another key "
                          "column.\n"));
}

TEST_F(CommandTest, ReportHoldsExactlyTheSelectedDifferences)
{
    const ProgramRun result = run({"--filter", "only-a", "--report", "-", "a.csv", "b.csv"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "\"Status\",\"Row key\",\"a.csv · id\",\"a.csv · name\",\"a.csv · email\",\"a.csv · city\","
              "\"b.csv · id\",\"b.csv · name\",\"b.csv · email\",\"b.csv · city\"\r\n"
              "\"Only in a.csv\",\"3\",\"3\",\"Cy\",\"cy@x.org\",\"Rome\",\"\",\"\",\"\",\"\"\r\n");
    // With the report on standard output, the summary moves to standard error.
    EXPECT_THAT(result.err, HasSubstr("Selected: 1 of 3 differences"));
}

TEST_F(CommandTest, ExitStatusIgnoresWhatTheSelectionKeeps)
{
    const ProgramRun result = run({"--search", "nowhere", "--report", "report.csv", "a.csv", "b.csv"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, HasSubstr("Selected: 0 of 3 differences\nExported 0 rows to report.csv."));
    const std::string report = readFile(path("report.csv"));
    EXPECT_EQ(report.find("\r\n"), report.size() - 2) << "header line only";
}

TEST_F(CommandTest, ReportFileMatchesTheStandardOutputReport)
{
    EXPECT_EQ(run({"--search", " BOB ", "--report", "report.csv", "a.csv", "b.csv"}).status, 1);
    const ProgramRun toOutput = run({"--search", " BOB ", "--report", "-", "a.csv", "b.csv"});
    EXPECT_EQ(readFile(path("report.csv")), toOutput.out);
    EXPECT_THAT(toOutput.out, HasSubstr("\"Changed\",\"2\",\"2\",\"Bob\""));
}

TEST_F(CommandTest, FailedReportWriteIsAnErrorAndLeavesNoFile)
{
    const ProgramRun result = run({"--report", "missing-folder/report.csv", "a.csv", "b.csv"});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err,
                HasSubstr("rowlark-compare: missing-folder/report.csv: No such file or directory"));
}

TEST_F(CommandTest, ReportReplacesTheTargetOfALinkAndKeepsItsPermissions)
{
    write("private.csv", "old report");
    fs::permissions(path("private.csv"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("private.csv", path("link.csv"));
    EXPECT_EQ(run({"--report", "link.csv", "a.csv", "b.csv"}).status, 1);
    EXPECT_TRUE(fs::is_symlink(path("link.csv")));
    EXPECT_THAT(readFile(path("private.csv")), ::testing::StartsWith("\"Status\""));
    EXPECT_EQ(fs::status(path("private.csv")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// The report outgrows the file size limit while it is written; the signal that brings ends the
// run with SIGTERM, as if the user had stopped it then.
TEST_F(CommandTest, TerminationRemovesAnUnfinishedReport)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        cli::removeUnfinishedReportOnTermination();
        std::signal(SIGXFSZ, [](int) { std::raise(SIGTERM); });
        const rlimit limit{64, 64};
        const std::vector<std::string> paths{(folder_ / "report.csv").string(), (folder_ / "a.csv").string(),
                                             (folder_ / "b.csv").string()};
        const std::vector<std::string_view> arguments{"--report", paths[0], paths[1], paths[2]};
        std::ostringstream out;
        std::ostringstream err;
        if (::setrlimit(RLIMIT_FSIZE, &limit) == 0)
            cli::runCommand(arguments, out, err);
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_))
        names.push_back(entry.path().filename().string());
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("a.csv", "b.csv"));
}

TEST_F(CommandTest, WriteErrorsOnStandardOutputExitWithTwo)
{
    const std::vector<std::vector<std::string>> runs = {
        {"a.csv", "b.csv"}, {"--json", "a.csv", "b.csv"}, {"--report", "-", "a.csv", "b.csv"},
        {"--mapping", "a.csv", "b.csv"}, {"--help"}};
    for (const std::vector<std::string>& arguments : runs) {
        const ProgramRun result = run(arguments, "/dev/full");
        EXPECT_EQ(result.status, 2) << arguments.front();
        EXPECT_EQ(result.err, "rowlark-compare: standard output: No space left on device\n") << arguments.front();
    }
}

TEST_F(CommandTest, EmptyValuesFilterLooksAtValuesAsRead)
{
    write("e-a.csv", "id,v\n1,x\n2,NULL\n");
    write("e-b.csv", "id,v\n1,  \n2,y\n");
    const ProgramRun result = run({"--filter", "empty-values", "--report", "-", "e-a.csv", "e-b.csv"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, HasSubstr("\"Changed\",\"1\""));
    EXPECT_THAT(result.out, ::testing::Not(HasSubstr("\"Changed\",\"2\"")));
}

TEST_F(CommandTest, MappingJSONHasItsFixedShape)
{
    write("m-b.csv", "id,name,email\n1,Ann,ann@x.org\n");
    const rapidjson::Document document = runJSON({"--mapping", "--json", "a.csv", "m-b.csv"}, 0);
    ASSERT_TRUE(document.IsObject());
    EXPECT_THAT(memberNames(document), ElementsAreArray({"mappings"}));
    ASSERT_EQ(document["mappings"].Size(), 4u);
    const rapidjson::Value& id = mappingOf(document, 0);
    EXPECT_THAT(memberNames(id), ElementsAreArray({"leftIndex", "left", "rightIndex", "right", "isKey",
                                                   "isIncluded", "isManual", "suggestions"}));
    EXPECT_EQ(id["leftIndex"].GetInt(), 0);
    EXPECT_STREQ(id["left"].GetString(), "id");
    EXPECT_EQ(id["rightIndex"].GetInt(), 0);
    EXPECT_TRUE(id["isKey"].GetBool());
    EXPECT_FALSE(id["isManual"].GetBool());
    ASSERT_GE(id["suggestions"].Size(), 1u);
    const rapidjson::Value& best = id["suggestions"][0];
    EXPECT_THAT(memberNames(best), ElementsAreArray({"rightIndex", "right", "score", "reason"}));
    EXPECT_TRUE(best["score"].IsNumber());
    EXPECT_STREQ(best["right"].GetString(), "id");
    const rapidjson::Value& city = mappingOf(document, 3);
    EXPECT_TRUE(city["rightIndex"].IsNull());
    EXPECT_TRUE(city["right"].IsNull());
}

TEST_F(CommandTest, MappingTextListsEveryColumnAndStops)
{
    const ProgramRun result = run({"--mapping", "a.csv", "b.csv"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("#1 id  →  #1 id  (key, included)\n"));
    EXPECT_THAT(result.out, HasSubstr("#4 city  →  #4 city  (included)\n"));
    EXPECT_THAT(result.out, ::testing::Not(HasSubstr("Matching")));
}

TEST_F(CommandTest, ManualMapAppliesTheLearnedPattern)
{
    write("addr-a.csv", "id,City,State,Zip\n1,Oslo,OS,0150\n");
    write("addr-b.csv", "id,Billing City,Billing State,Billing Zip,Shipping City\n1,Oslo,OS,0150,Bergen\n");
    const rapidjson::Document document =
        runJSON({"--mapping", "--json", "--map", "City=Billing City", "addr-a.csv", "addr-b.csv"}, 0);
    EXPECT_EQ(mappingOf(document, 1)["rightIndex"].GetInt(), 1);
    EXPECT_TRUE(mappingOf(document, 1)["isManual"].GetBool());
    EXPECT_EQ(mappingOf(document, 2)["rightIndex"].GetInt(), 2);
    EXPECT_EQ(mappingOf(document, 3)["rightIndex"].GetInt(), 3);
    EXPECT_FALSE(mappingOf(document, 3)["isManual"].GetBool());
}

TEST_F(CommandTest, ManualMapToNothingLeavesTheColumnOutAndHeadersMayHoldEquals)
{
    write("eq-a.csv", "id,a=b,c\n1,x,y\n");
    write("eq-b.csv", "id,b=c,c\n1,x,y\n");
    const rapidjson::Document document =
        runJSON({"--mapping", "--json", "--map", "a=b=b=c", "--map", "#3=", "eq-a.csv", "eq-b.csv"}, 0);
    EXPECT_EQ(mappingOf(document, 1)["rightIndex"].GetInt(), 1);
    EXPECT_TRUE(mappingOf(document, 2)["rightIndex"].IsNull());
    EXPECT_FALSE(mappingOf(document, 2)["isIncluded"].GetBool());
    EXPECT_TRUE(mappingOf(document, 2)["isManual"].GetBool());
}

TEST_F(CommandTest, KeyOptionReplacesTheProposedKey)
{
    const rapidjson::Document document =
        runJSON({"--mapping", "--json", "--key", "email", "--key", "#2", "a.csv", "b.csv"}, 0);
    EXPECT_FALSE(mappingOf(document, 0)["isKey"].GetBool());
    EXPECT_TRUE(mappingOf(document, 1)["isKey"].GetBool());
    EXPECT_TRUE(mappingOf(document, 2)["isKey"].GetBool());
    EXPECT_FALSE(mappingOf(document, 3)["isKey"].GetBool());
}

TEST_F(CommandTest, ExcludedColumnsAreNotCompared)
{
    write("x-b.csv", "id,name,email,city\n1,Ann,ann@x.org,Bonn\n2,Bob,bob@x.org,Lyon\n3,Cy,cy@x.org,Milan\n");
    EXPECT_EQ(run({"a.csv", "x-b.csv"}).status, 1);
    const ProgramRun result = run({"--exclude", "city", "a.csv", "x-b.csv"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Matching: 3\n"));
}

TEST_F(CommandTest, IgnoreCaseComparesWithoutLetterCase)
{
    write("upper.csv",
          "id,name,email,city\n1,ANN,ann@x.org,BERLIN\n2,Bob,BOB@x.org,Paris\n3,cy,cy@x.org,rome\n");
    EXPECT_EQ(run({"a.csv", "upper.csv"}).status, 1);
    EXPECT_EQ(run({"--ignore-case", "a.csv", "upper.csv"}).status, 0);
}

TEST_F(CommandTest, WrongRequestsExitWithTwoAndSayWhy)
{
    write("j-a.csv", "id,data\n1,\"{\"\"a\"\": 1}\"\n");
    write("alpha.csv", "alpha\nred\nblue\n");
    write("zeta.csv", "zeta\n17\n42\n");
    ASSERT_EQ(::mkfifo(path("pipe.csv").c_str(), 0600), 0);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate", "a.csv", "b.csv"}, "rowlark-compare: unknown option --frobnicate"},
        {{"a.csv"}, "expected two files"},
        {{"--key", "nope", "a.csv", "b.csv"}, "no column “nope” in File A (a.csv)"},
        {{"--exclude", "#9", "a.csv", "b.csv"}, "no column #9 in File A (a.csv), which has 4 columns"},
        {{"--map", "name=nope", "a.csv", "b.csv"}, "no column “nope” in File B (b.csv)"},
        {{"--map", "name", "a.csv", "b.csv"}, "--map needs A=B"},
        {{"--map", "city=", "--key", "city", "a.csv", "b.csv"}, "has no File B column"},
        {{"--exclude", "id", "a.csv", "b.csv"}, "key columns are always compared"},
        {{"--map", "data=#2", "j-a.csv", "b.csv"}, "JSON-object column"},
        {{"a.csv", "absent.csv"}, "rowlark-compare: absent.csv: No such file or directory\n"},
        {{"absent-a.csv", "absent.csv"}, "rowlark-compare: absent-a.csv: No such file or directory\n"},
        {{"pipe.csv", "b.csv"}, "rowlark-compare: pipe.csv: Operation not supported\n"},
        {{"alpha.csv", "zeta.csv"}, "no row key was found; choose the key columns with --key COLUMN"},
        {{"--map", "id=", "a.csv", "b.csv"}, "no row key was found"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun result = run(arguments);
        EXPECT_EQ(result.status, 2) << message;
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_THAT(result.out, IsEmpty()) << message;
    }
}

TEST_F(CommandTest, LoadErrorsCarryTheSystemMessage)
{
    write("open.csv", "id,v\n1,\"unclosed\n");
    const ProgramRun result = run({"open.csv", "b.csv"});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, HasSubstr("rowlark-compare: open.csv: "));
}

TEST_F(CommandTest, WorkbookSheetsCompareWithTheSameDataAsCSV)
{
    const fs::path fixtures = ROWLARK_WORKBOOK_FIXTURES;
    for (const char* workbook : {"people.xlsx", "people.xls", "people.ods", "people.numbers"}) {
        const ProgramRun result = run({(fixtures / workbook).string(), (fixtures / "people.csv").string()});
        EXPECT_EQ(result.status, 0) << workbook << ": " << result.err;
        EXPECT_THAT(result.out, HasSubstr("Matching: 3\nChanged: 0\n")) << workbook;
    }
    const ProgramRun other = run(
        {"--sheet-a", "Other", "--map", "code=id", "--key", "code", (fixtures / "people.xlsx").string(), "a.csv"});
    EXPECT_EQ(other.status, 1) << other.err;
    EXPECT_THAT(other.out, HasSubstr("people.xlsx: 1 rows; a.csv: 3 rows"));
}

TEST_F(CommandTest, HelpExitsWithZero)
{
    const ProgramRun result = run({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, HasSubstr("Usage: rowlark-compare [options] FILE_A FILE_B"));
}

}  // namespace
}  // namespace rowlark
