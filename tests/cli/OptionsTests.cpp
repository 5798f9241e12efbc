#include "cli/Options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace rowlark::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

Options parse(std::vector<std::string_view> arguments)
{
    return parseOptions(arguments);
}

std::string usageErrorOf(std::vector<std::string_view> arguments)
{
    try {
        parse(std::move(arguments));
    } catch (const UsageError& error) {
        return error.what();
    }
    return "no error";
}

TEST(OptionParsing, ReadsFilesAndEveryOptionInBothSpellings)
{
    const Options options =
        parse({"--map", "a=b", "left.csv", "--map=c=", "--key", "#1", "--exclude=notes", "--ignore-case",
               "--filter", "only-b", "--search=  x ", "--report", "out.csv", "right.csv", "--json",
               "--mapping", "--sheet-a", "Q1", "--sheet-b=Q 2"});
    EXPECT_EQ(options.leftPath, "left.csv");
    EXPECT_EQ(options.rightPath, "right.csv");
    EXPECT_THAT(options.columnChoices, ElementsAre("a=b", "c="));
    EXPECT_THAT(options.keyColumns, ElementsAre("#1"));
    EXPECT_THAT(options.excludedColumns, ElementsAre("notes"));
    EXPECT_TRUE(options.isIgnoringCase);
    EXPECT_TRUE(options.isJSON);
    EXPECT_TRUE(options.isMappingOnly);
    EXPECT_EQ(options.filter, ResultFilter::onlyRight);
    EXPECT_EQ(options.search, "  x ");
    EXPECT_EQ(options.reportPath, "out.csv");
    EXPECT_EQ(options.leftSheet, "Q1");
    EXPECT_EQ(options.rightSheet, "Q 2");
}

TEST(OptionParsing, DefaultsCompareEverythingAndPrintText)
{
    const Options options = parse({"a.csv", "b.csv"});
    EXPECT_EQ(options.filter, ResultFilter::all);
    EXPECT_FALSE(options.isJSON || options.isMappingOnly || options.isIgnoringCase);
    EXPECT_FALSE(options.reportPath.has_value());
}

TEST(OptionParsing, FilterNamesCoverEveryFilter)
{
    const std::vector<std::pair<std::string_view, ResultFilter>> names = {
        {"all", ResultFilter::all},
        {"changed", ResultFilter::changed},
        {"only-a", ResultFilter::onlyLeft},
        {"only-b", ResultFilter::onlyRight},
        {"empty-values", ResultFilter::emptyValues}};
    for (const auto& [name, filter] : names)
        EXPECT_EQ(parse({"--filter", name, "a", "b"}).filter, filter) << name;
    EXPECT_FALSE(filterFromOptionName("onlyLeft").has_value());
}

TEST(OptionParsing, DoubleDashEndsOptions)
{
    const Options options = parse({"--", "-a.csv", "--json"});
    EXPECT_EQ(options.leftPath, "-a.csv");
    EXPECT_EQ(options.rightPath, "--json");
    EXPECT_FALSE(options.isJSON);
}

TEST(OptionParsing, ValuesMayLookLikeOptions)
{
    EXPECT_EQ(parse({"--search", "-5", "a", "b"}).search, "-5");
    EXPECT_EQ(parse({"--report", "-", "a", "b"}).reportPath, "-");
}

TEST(OptionParsing, HelpNeedsNoFiles)
{
    EXPECT_TRUE(parse({"--help"}).isHelpRequested);
    EXPECT_TRUE(parse({"-h", "a.csv"}).isHelpRequested);
}

TEST(OptionParsing, WrongCommandLinesSayWhatWasWrong)
{
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
        {{}, "expected two files"},
        {{"a.csv"}, "but got 1"},
        {{"a", "b", "c"}, "but got 3"},
        {{"--frobnicate", "a", "b"}, "unknown option --frobnicate"},
        {{"-x", "a", "b"}, "unknown option -x"},
        {{"a", "b", "--map"}, "option --map needs a value"},
        {{"--filter", "onlyLeft", "a", "b"}, "unknown filter “onlyLeft”"},
        {{"--json=yes", "a", "b"}, "option --json takes no value"},
        {{"--json", "--report", "-", "a", "b"}, "cannot both write to standard output"},
    };
    for (const auto& [arguments, message] : cases)
        EXPECT_THAT(usageErrorOf(arguments), HasSubstr(message)) << message;
}

TEST(OptionParsing, HelpDocumentsEveryOption)
{
    for (const std::string_view option :
         {"--sheet-a", "--sheet-b", "--map", "--key", "--exclude", "--ignore-case", "--mapping", "--filter",
          "--search", "--report", "--json", "--help", "Exit status"})
        EXPECT_THAT(std::string(helpText()), HasSubstr(option));
}

}  // namespace
}  // namespace rowlark::cli
