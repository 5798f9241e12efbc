#include "engine/results/HTMLReport.h"
#include "engine/results/XLSXReport.h"

#include <gtest/gtest.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <regex>
#include <unistd.h>

#include "engine/text/Encoding.h"
#include "tests/engine/compare/ComparisonTestSupport.h"
#include "tests/support/CaseLines.h"

namespace rowlark::results {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;
using testing_support::mapping;

// Markup, script and addresses as a hostile file could hold them, in names, headers, keys and cells.
std::vector<std::string> hostileTexts()
{
    const std::vector<std::string> texts =
        testing::caseLines(testing_support::dataFolder("results") / "hostile-texts.txt");
    EXPECT_GE(texts.size(), 10u);
    return texts;
}

records::RowDifference difference(records::DiffStatus status, std::string key, std::optional<Row> left,
                                  std::optional<Row> right)
{
    return {records::UUID::random(), std::move(key), status, std::move(left), std::move(right), {}};
}

records::CellDifference cell(std::size_t column, std::string header, std::string left, std::string right)
{
    return {records::UUID::random(), header, header, std::move(left), std::move(right), column};
}

std::vector<std::size_t> everyPosition(const records::ComparisonSummary& summary)
{
    std::vector<std::size_t> positions(summary.differences.size());
    std::iota(positions.begin(), positions.end(), 0);
    return positions;
}

// The text between `open` and the next `close`.
std::string between(const std::string& text, const std::string& open, const std::string& close)
{
    const std::size_t start = text.find(open);
    if (start == std::string::npos)
        return {};
    const std::size_t end = text.find(close, start + open.size());
    return text.substr(start + open.size(), end - start - open.size());
}

std::string compact(const rapidjson::Value& value)
{
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    value.Accept(writer);
    return text.GetString();
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class HTMLReportTest : public ::testing::Test {
protected:
    HTMLReportTest()
    {
        summary_.matchingRows = 3;
        summary_.leftRows = 5;
        summary_.rightRows = 5;
        summary_.columns = {{0, 0, "id", "id", 0}, {1, 1, "name", "name", 1}, {2, 2, "note", "note", 1}};
        auto changed = difference(records::DiffStatus::changed, "2", Row{"2", "Bob", "same words here", "a"},
                                  Row{"2", "Bobby", "same other here", "a", "extra"});
        changed.cells = {cell(1, "name", "Bob", "Bobby"), cell(2, "note", "same words here", "same other here")};
        summary_.differences = {changed, difference(records::DiffStatus::onlyLeft, "3", Row{"3", "Cy", "", "b"}, {}),
                                difference(records::DiffStatus::onlyRight, "", {}, Row{"", "Dee", "x", "c", "y"})};
    }

    HTMLReport::Details details(std::string_view leftName = "a.csv", std::string_view rightName = "b.csv") const
    {
        return {leftName, rightName, leftHeaders_, rightHeaders_, mappings_, "id", "2026-12-07 10:00:00", "", false, "",
                "",       ""};
    }

    std::string page(const HTMLReport::Details& details) const
    {
        return HTMLReport::page(summary_, details, everyPosition(summary_));
    }

    static rapidjson::Document data(const std::string& page)
    {
        rapidjson::Document document;
        document.Parse(between(page, "<script type=\"application/json\" id=\"report-data\">", "</script>").c_str());
        EXPECT_FALSE(document.HasParseError());
        return document;
    }

    Row leftHeaders_ = {"id", "name", "note", "code"};
    Row rightHeaders_ = {"id", "name", "note", "code", "added"};
    std::vector<records::ColumnMapping> mappings_ = {mapping(0, 0, true, true), mapping(1, 1, false, true),
                                                     mapping(2, 2, false, true), mapping(3, 3, false, false)};
    records::ComparisonSummary summary_;
};

TEST_F(HTMLReportTest, AllowsOnlyItsOwnScriptAndStyleAndLoadsNothing)
{
    const std::string text = page(details());
    const std::string policy = between(text, "<meta http-equiv=\"Content-Security-Policy\" content=\"", "\">");
    EXPECT_TRUE(std::regex_match(policy, std::regex("default-src 'none'; script-src 'sha256-[A-Za-z0-9+/]{43}='; "
                                                    "style-src 'sha256-[A-Za-z0-9+/]{43}='; base-uri 'none'; "
                                                    "form-action 'none'")))
        << policy;
    EXPECT_LT(text.find("Content-Security-Policy"), text.find("<style>"));
    EXPECT_EQ(occurrences(text, "<script"), 2U);
    EXPECT_EQ(occurrences(text, "<style"), 1U);
    for (const std::string external : {"src=", "href=", "url(", "@import", "http:", "https:"})
        EXPECT_EQ(text.find(external), std::string::npos) << external;
}

TEST_F(HTMLReportTest, EscapesEveryHostileTextAndReadsItBackExactly)
{
    for (const std::string& hostile : hostileTexts()) {
        leftHeaders_[1] = rightHeaders_[4] = summary_.columns[1].leftHeader = summary_.differences[0].key =
            summary_.differences[0].cells[0].leftValue = (*summary_.differences[0].leftRow)[1] =
                (*summary_.differences[1].leftRow)[3] = hostile;
        const std::string rightName = hostile + ".csv";
        HTMLReport::Details shown = details(hostile, rightName);
        shown.search = shown.filter = shown.changedColumn = shown.keyWarning = shown.key = hostile;
        const std::string text = page(shown);
        std::vector<std::size_t> counts;
        for (const std::string tag : {"<script", "</script", "<a ", "<img", "<!--"})
            counts.push_back(occurrences(text, tag));
        EXPECT_EQ(counts, (std::vector<std::size_t>{2, 2, 0, 0, 0})) << hostile;
        // Outside the data the script reads, every tag is the page's own: none holds an attribute of
        // the file's.
        const std::string block = between(text, "id=\"report-data\">", "</script>");
        const std::string markup = text.substr(0, text.find(block)) + text.substr(text.find(block) + block.size());
        for (std::size_t open = markup.find('<'); open != std::string::npos; open = markup.find('<', open + 1)) {
            const std::string tag = markup.substr(open, markup.find('>', open) - open);
            for (const std::string attribute : {"onmouseover", "onerror", "onfocus", "autofocus", "href", "src="})
                EXPECT_EQ(tag.find(attribute), std::string::npos) << hostile << " in " << tag;
        }

        const rapidjson::Document read = data(text);
        EXPECT_EQ((Row{read["leftName"].GetString(), read["rightName"].GetString(), read["leftHeaders"][1].GetString(),
                       read["rightHeaders"][4].GetString(), read["records"][0][1].GetString(),
                       read["records"][0][2][1].GetString(), read["records"][1][2][3].GetString()}),
                  (Row{hostile, rightName, hostile, hostile, hostile, hostile, hostile}));
    }
}

TEST_F(HTMLReportTest, WritesInvalidUTF8AsReplacementCharacters)
{
    (*summary_.differences[1].leftRow)[1] = "bad \xC3\x28 and \xFF end";
    const std::string text = page(details("name\xE2\x82.csv"));
    EXPECT_TRUE(text::isValidUTF8(text));
    EXPECT_EQ(data(text)["records"][1][2][1].GetString(), std::string("bad \uFFFD( and \uFFFD end"));
    EXPECT_NE(text.find("<dd>name\uFFFD.csv</dd>"), std::string::npos);
}

// Records in the order selected, out-of-range positions left out, each with its differing parts;
// fields as the inspector lists them.
TEST_F(HTMLReportTest, ListsTheSelectedRecordsAndTheFieldsAsTheInspectorDoes)
{
    const std::vector<std::size_t> selected = {2, 0, 9};
    const rapidjson::Document read = data(HTMLReport::page(summary_, details(), selected));
    EXPECT_EQ(compact(read["records"]),
              R"([[2,"",null,["","Dee","x","c","y"],[]],)"
              R"([0,"2",["2","Bob","same words here","a"],["2","Bobby","same other here","a","extra"],)"
              R"([[1,["Bob"],["Bob","by",""]],[2,["same ","words"," here"],["same ","other"," here"]]]]])");
    EXPECT_EQ(compact(data(page(details()))["fields"]), "[[0,0,1],[1,1,1],[2,2,1],[3,3,0],[null,4,0]]");
}

TEST_F(HTMLReportTest, SaysWhatItHoldsAndWhatSelectedIt)
{
    HTMLReport::Details shown = details();
    shown.filter = "Changed rows";
    shown.search = "bob";
    shown.changedColumn = "name";
    shown.ignoreCase = true;
    shown.keyWarning = "Repeated keys: 1 group.";
    summary_.leftOnlyColumns = {"code"};
    summary_.ambiguousDuplicateKeyGroups = 2;
    const std::vector<std::size_t> selected = {0};
    const std::string text = HTMLReport::page(summary_, shown, selected);
    const auto expected =
        testing_support::sections(testing_support::dataFolder("results") / "page-of-a-narrowed-selection.txt")[""];
    EXPECT_EQ(expected.size(), 14u);
    for (const std::string& part : expected)
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

TEST_F(HTMLReportTest, WithoutRecordsSaysSoAndNeedsNoScript)
{
    const std::string text = HTMLReport::page(summary_, details(), {});
    EXPECT_NE(text.find("No differences were selected."), std::string::npos);
    EXPECT_EQ(text.find("<script"), std::string::npos);
    EXPECT_NE(text.find("This page holds 0 of the 3 differences."), std::string::npos);
}

TEST_F(HTMLReportTest, GroupsLargeCountsAndGivesSharesAsTheAppDoes)
{
    summary_.matchingRows = 1234567;
    summary_.columns.push_back({3, 3, "code", "CODE", 0});
    for (int i = 0; i < 300; ++i) {
        auto changed = difference(records::DiffStatus::changed, std::to_string(i), Row{}, Row{});
        changed.cells = {i == 0 ? records::CellDifference{records::UUID::random(), "code", "CODE", "x", "y", 3}
                                : cell(2, "note", "a", "b")};
        summary_.differences.push_back(changed);
    }
    const std::string text = page(details());
    EXPECT_NE(text.find("<span class=\"number\">1,234,567</span>"), std::string::npos);
    const std::string note = "<td class=\"name\">note</td><td class=\"count\">300</td><td class=\"share\">&gt;99%</td>";
    const std::string name = "<td class=\"name\">name</td><td class=\"count\">1</td><td class=\"share\">&lt;1%</td>";
    const std::string code =
        "<td class=\"name\">code \u2192 CODE</td><td class=\"count\">1</td><td class=\"share\">&lt;1%</td>";
    EXPECT_LT(text.find(note), text.find(name));
    EXPECT_LT(text.find(name), text.find(code));
    EXPECT_NE(text.find(code), std::string::npos);
}

TEST(ReportPaths, ThePagesAndWorkbooksAreKnownByTheirExtensionInAnyCase)
{
    const auto cases = testing_support::sections(testing_support::dataFolder("results") / "report-paths.txt");
    EXPECT_GE(cases.at("html").size() + cases.at("xlsx").size(), 13u);
    for (const std::string& line : cases.at("html"))
        EXPECT_EQ(HTMLReport::isPagePath(std::string(testing_support::fields(line).at(0))), line.ends_with("yes"))
            << line;
    for (const std::string& line : cases.at("xlsx"))
        EXPECT_EQ(XLSXReport::isWorkbookPath(std::string(testing_support::fields(line).at(0))), line.ends_with("yes"))
            << line;
}

TEST_F(HTMLReportTest, WritesTheFileWholeOrNotAtAll)
{
    const fs::path folder = fs::temp_directory_path() / ("rowlark-html-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path = folder / "report.html";
    EXPECT_TRUE(HTMLReport::write(path, summary_, details(), everyPosition(summary_)));
    EXPECT_EQ(testing_support::contents(path), page(details()));

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(
        HTMLReport::write(folder / "stopped.html", summary_, details(), everyPosition(summary_), stop.get_token()));
    EXPECT_FALSE(fs::exists(folder / "stopped.html"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    fs::remove_all(folder);
}

// Headless Chromium opens pages as a reader's browser would: the page's own script lists the
// records under the page's Content-Security-Policy, and nothing a file holds comes alive.
class PageInBrowserTest : public HTMLReportTest {
protected:
    void SetUp() override
    {
        if (std::system("command -v chromium >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "Chromium is not installed (apt-get install chromium)";
        fs::create_directories(folder_);
    }

    void TearDown() override { fs::remove_all(folder_); }

    // The document once the page's script has run, as Chromium serializes it.
    std::string rendered(const std::string& page)
    {
        const fs::path path = folder_ / "report.html";
        std::ofstream(path, std::ios::binary) << page;
        const std::string command =
            "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
            "--disable-background-networking --disable-component-update --disable-sync --enable-logging=stderr "
            "--user-data-dir=" +
            (folder_ / "profile").string() + " --dump-dom file://" + path.string() + " >" +
            (folder_ / "dom.html").string() + " 2>" + (folder_ / "log.txt").string();
        EXPECT_EQ(std::system(command.c_str()), 0);
        return testing_support::contents(folder_ / "dom.html");
    }

    std::string log() const { return testing_support::contents(folder_ / "log.txt"); }

    const fs::path folder_ = fs::temp_directory_path() / ("rowlark-browser-" + std::to_string(::getpid()));
};

TEST_F(PageInBrowserTest, ShowsHostileTextsAsTextAndRunsNothingButItsOwnScript)
{
    std::string allHostile;
    for (const std::string& hostile : hostileTexts())
        allHostile += hostile;
    leftHeaders_[1] = (*summary_.differences[1].leftRow)[1] = summary_.differences[0].key =
        summary_.differences[0].cells[0].leftValue = (*summary_.differences[0].leftRow)[1] = allHostile;
    HTMLReport::Details shown = details(allHostile, "b.csv");
    shown.search = allHostile;
    const std::string dom = rendered(page(shown));
    EXPECT_EQ(occurrences(dom, "<li class=\"record "), 3U) << log();
    EXPECT_EQ(log().find("Refused to"), std::string::npos) << log();
    EXPECT_EQ(occurrences(dom, "<img"), 0U);
    EXPECT_EQ(occurrences(dom, "<a "), 0U);
    EXPECT_EQ(dom.find("owned</title>"), std::string::npos);
    EXPECT_NE(dom.find("<p class=\"key\">&lt;script&gt;document.title='owned'&lt;/script&gt;&lt;/script&gt;&lt;img"),
              std::string::npos);
    // The page's own script is its only one: the data it read is gone from the document.
    EXPECT_EQ(occurrences(dom, "<script"), 1U);
    EXPECT_EQ(dom.find("id=\"report-data\""), std::string::npos);
}

TEST_F(PageInBrowserTest, ListsAHundredRecordsAPage)
{
    for (int i = 0; i < 247; ++i)
        summary_.differences.push_back(
            difference(records::DiffStatus::onlyLeft, "k" + std::to_string(i), Row{"k", "v"}, {}));
    const std::string dom = rendered(page(details()));
    EXPECT_EQ(occurrences(dom, "<li class=\"record "), 100U) << log();
    EXPECT_NE(dom.find("<span class=\"count\" id=\"count\">250 records</span>"), std::string::npos);
    EXPECT_EQ(occurrences(dom, "<span class=\"page\">Page 1 of 3</span>"), 2U);
    EXPECT_NE(dom.find("<option value=\"1\">Only in a.csv (248)</option>"), std::string::npos);
    EXPECT_NE(dom.find("<mark>by</mark>"), std::string::npos);
}

}  // namespace
}  // namespace rowlark::results
