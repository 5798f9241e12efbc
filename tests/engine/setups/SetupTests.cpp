// Reading and writing setup files: what a setup holds comes back whole, and a file that is not a
// setup this version reads, however it is made, is refused with a message and nothing else.

#include "engine/setups/Setup.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "tests/engine/compare/ComparisonTestSupport.h"
#include "tests/engine/csv/CSVTestSupport.h"

namespace rowlark::setups {
namespace {

namespace fs = std::filesystem;

setups::Setup sampleSetup()
{
    setups::Setup setup;
    setup.left = {"exports/before.csv", std::nullopt};
    setup.right = {"/data/after \u00E9t\u00E9.xlsx", "Orders \u201C2026\u201D"};
    setup.ignoreCase = true;
    setup.mappings = {{{"Customer ID", 1}, ColumnName{"customer_id", 1}, true, true, std::nullopt},
                      {{"name", 2}, ColumnName{"", 3}, false, false, std::nullopt},
                      {{"Notes \"quoted\"\n", 1}, std::nullopt, false, true, "text:case,space"}};
    setup.results = {records::ResultFilter::onlyRight, "  bob\t", ColumnName{"name", 2}};
    return setup;
}

// The message of the SetupError `work` throws, or "no error".
template<typename Work> std::string setupErrorOf(Work&& work)
{
    try {
        work();
    } catch (const SetupError& error) {
        return error.what();
    }
    return "no error";
}

std::string messageReading(const std::string& text)
{
    return setupErrorOf([&text] { parse(text); });
}

class SetupFileTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(folder_); }

    fs::path file(const std::string& name, const std::string& text) const
    {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return folder_ / name;
    }

    std::string scratch_ = (fs::temp_directory_path() / "rowlark-setup-XXXXXX").string();
    const fs::path folder_ = ::mkdtemp(scratch_.data());
};

TEST_F(SetupFileTest, WhatIsWrittenReadsBackTheSame)
{
    const setups::Setup setup = sampleSetup();
    const fs::path path = folder_ / "weekly.rowlark";
    write(path, setup);
    EXPECT_EQ(read(path), setup);
    EXPECT_EQ(parse(text(setup)), setup);
}

TEST_F(SetupFileTest, TextNamesTheFormatVersionAndOnlyWhatIsSet)
{
    setups::Setup setup;
    setup.left = {"a.csv", std::nullopt};
    setup.right = {"b.xlsx", "Sheet1"};
    setup.mappings = {{{"id", 1}, ColumnName{"id", 1}, true, true, std::nullopt},
                      {{"x", 2}, std::nullopt, false, false, std::nullopt}};
    EXPECT_EQ(text(setup),
              testing_support::contents(fs::path(ROWLARK_TEST_DATA_FOLDER) / "setups/two-columns.rowlark"));
}

// Each text of setups/texts.tsv reads as the setup spelt out beside it, or is refused with its
// message.
TEST(SetupText, ReadsAsTheSetupItSpellsOrGetsItsMessage)
{
    const std::vector<testing::Row> cases = testing::tabSeparatedCases("setups/texts.tsv");
    EXPECT_EQ(cases.size(), 48u);
    for (const testing::Row& test : cases) {
        ASSERT_EQ(test.size(), 2u) << test.at(0);
        if (test[1].starts_with('{'))
            EXPECT_EQ(parse(test[0]), parse(test[1])) << test[0];
        else
            EXPECT_EQ(messageReading(test[0]), test[1]) << test[0];
    }
}

TEST_F(SetupFileTest, HostileFilesAreRefusedInBoundedTimeAndMemory)
{
    const std::string tooDeep = "The file is not a Rowlark setup: it is nested deeper than any setup.";
    EXPECT_EQ(messageReading(std::string(5'000'000, '[') + std::string(5'000'000, ']')), tooDeep);
    EXPECT_EQ(messageReading(R"({"format":"rowlark-setup","version":1,"files":)" + std::string(1'000'000, '[')),
              tooDeep);
    EXPECT_EQ(messageReading(R"({"comment":)" + std::string(64, '[') + std::string(64, ']') + "}"), tooDeep);
    // Brackets in strings are text, not nesting.
    EXPECT_EQ(messageReading(R"({"comment":")" + std::string(100, '[') + R"("})"),
              "The file is not a Rowlark setup: it has no \u201Cformat\u201D of \u201Crowlark-setup\u201D.");
    std::string manyValues = "[0";
    for (int value = 0; value < 1'000'000; ++value)
        manyValues += ",0";
    EXPECT_EQ(messageReading(manyValues + "]"),
              "The file is not a Rowlark setup: it holds more values than any setup.");
    const std::string tooLarge = "The file is larger than any setup (at most 16 MB); it was not read.";
    EXPECT_EQ(messageReading(R"({"format":"rowlark-setup","version":1,"files":{"fileA":{"path":")" +
                             std::string(maximumBytes, 'x') + R"("},"fileB":{"path":"b"}},"mappings":[]})"),
              tooLarge);
    EXPECT_THROW(parse("{\"format\":\"rowlark-setup\",\"version\":1,\"files\":\"\xC3\x28\"}"), SetupError);
    // A gigabyte on disk without taking one: the file is refused by its size before it is read.
    const fs::path large = folder_ / "large.rowlark";
    std::ofstream(large) << "{";
    fs::resize_file(large, 1'000'000'000);
    EXPECT_EQ(setupErrorOf([&large] { read(large); }), tooLarge);
}

TEST_F(SetupFileTest, OnlyARegularFileIsRead)
{
    EXPECT_THROW(read(folder_), std::system_error);
    EXPECT_THROW(read(folder_ / "missing.rowlark"), std::system_error);
    ASSERT_EQ(::mkfifo((folder_ / "pipe.rowlark").c_str(), 0600), 0);
    try {
        read(folder_ / "pipe.rowlark");
        ADD_FAILURE() << "read a pipe";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::not_supported);
    }
}

TEST_F(SetupFileTest, WritingRefusesTextsThatAreNotUTF8AndLeavesNoFile)
{
    setups::Setup setup = sampleSetup();
    setup.left.path = "bad\xFFname.csv";
    EXPECT_EQ(setupErrorOf([&] { write(folder_ / "bad.rowlark", setup); }),
              "The path of File A is not UTF-8 text, which a setup cannot hold.");
    EXPECT_FALSE(fs::exists(folder_ / "bad.rowlark"));
}

// Relative below the setup's folder and absolute elsewhere; setup files known by their extension.
TEST(SetupPaths, AreRelativeBelowTheSetupsFolderAndAbsoluteElsewhere)
{
    const std::vector<testing::Row> cases = testing::tabSeparatedCases("setups/paths.tsv");
    EXPECT_EQ(cases.size(), 12u);
    for (const testing::Row& test : cases) {
        const std::string& function = test.at(0);
        const std::string result = function == "stored"      ? storedPath(test.at(1), test.at(2))
                                   : function == "resolved"  ? resolvedPath(test.at(1), test.at(2)).string()
                                   : isSetupPath(test.at(1)) ? "yes"
                                                             : "no";
        EXPECT_EQ(result, test.at(3)) << function << " " << test.at(1);
    }
    const fs::path here = fs::current_path();
    EXPECT_EQ(resolvedPath(storedPath("in/a.csv", "w.rowlark"), "w.rowlark"), here / "in/a.csv");
}

TEST(SetupColumns, AreNamedByHeaderAndOccurrence)
{
    const std::vector<std::string> headers = {"id", "name", "", "name", "", "name"};
    EXPECT_EQ(columnName(headers, 0), (ColumnName{"id", 1}));
    EXPECT_EQ(columnName(headers, 3), (ColumnName{"name", 2}));
    EXPECT_EQ(columnName(headers, 4), (ColumnName{"", 2}));
    for (std::int64_t index = 0; index < static_cast<std::int64_t>(headers.size()); ++index)
        EXPECT_EQ(findColumn(headers, columnName(headers, index)), index);
    EXPECT_FALSE(findColumn(headers, {"name", 4}));
    EXPECT_FALSE(findColumn(headers, {"ID", 1}));
    EXPECT_EQ(shownName({"Rate", 1}), "column \u201CRate\u201D");
    EXPECT_EQ(shownName({"name", 3}), "column \u201Cname\u201D (number 3 of that name)");
    EXPECT_EQ(shownName({"", 1}), "an unnamed column");
}

TEST(SetupColumns, NoticesQuoteAHundredCharactersOfALongText)
{
    const std::string hundred = std::string(98, 'x') + "\u00E9\u20AC";
    EXPECT_EQ(quotedText(hundred), "\u201C" + hundred + "\u201D");
    EXPECT_EQ(quotedText(hundred + "\u00E9" + std::string(10'000'000, 'y')), "\u201C" + hundred + "\u2026\u201D");
    EXPECT_EQ(shownName({hundred + "z", 2}), "column \u201C" + hundred + "\u2026\u201D (number 2 of that name)");
    EXPECT_EQ(quotedText(""), "\u201C\u201D");
}

}  // namespace
}  // namespace rowlark::setups
