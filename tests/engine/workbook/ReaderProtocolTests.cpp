#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/library/ReaderProtocol.h"

namespace rowlark::workbook::readerProtocol {
namespace {

std::optional<HelperCall> parsed(const std::vector<std::string>& texts)
{
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    return parseArguments(views);
}

std::span<const unsigned char> bytesOf(std::string_view text)
{
    return std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

TEST(ReaderProtocol, CallsSurviveTheCommandLine)
{
    const std::vector<HelperCall> calls{
        {"/opt/Rowlark_Rowlark.bundle/Vendor/xlsx.full.min.js",
         ReadRequest{250000, 10000, 5000000, false, 1 << 30, 30}},
        {"library with spaces.js", ReadRequest{1, 2, 3, true, 0, 0}},
        {"lib.js", ReadRequest{~0ULL, 0, 0, false, ~0ULL, 7}},
        {"lib.js", FormatRequest{123456789, 5}},
    };
    for (const HelperCall& call : calls)
        EXPECT_EQ(parsed(arguments(call)), call) << arguments(call)[1];
}

TEST(ReaderProtocol, ArgumentsThatAreNoCallAreRefused)
{
    const std::vector<std::vector<std::string>> refused{
        {},
        {"lib.js"},
        {"lib.js", "1", "2", "3", "0", "4"},
        {"lib.js", "1", "2", "3", "0", "4", "5", "6"},
        {"lib.js", "1", "2", "3", "2", "4", "5"},
        {"lib.js", "1", "2", "3", "yes", "4", "5"},
        {"lib.js", "-1", "2", "3", "0", "4", "5"},
        {"lib.js", "+1", "2", "3", "0", "4", "5"},
        {"lib.js", "1", "", "3", "0", "4", "5"},
        {"lib.js", "1", "2x", "3", "0", "4", "5"},
        {"lib.js", "1", "2", "3", "0", "4", "18446744073709551616"},
        {"lib.js", "format", "1"},
        {"lib.js", "format", "1", "x"},
        {"lib.js", "formats", "1", "2"},
    };
    for (const auto& arguments : refused)
        EXPECT_EQ(parsed(arguments), std::nullopt) << ::testing::PrintToString(arguments);
}

TEST(ReaderProtocol, TheRequestedSheetPrecedesTheWorkbook)
{
    const std::string workbook = "PK\x03\x04\n-\n12\nrest";
    const std::vector<std::optional<std::string>> sheets{std::nullopt, "Sheet1", "", "-", "two\nlines", "Ünïcode ✓"};
    for (const auto& sheet : sheets) {
        const std::string input = sheetHeader(sheet) + workbook;
        const std::optional<ReadInput> read = parseReadInput(bytesOf(input));
        ASSERT_TRUE(read.has_value()) << input;
        EXPECT_EQ(read->sheet, sheet);
        EXPECT_EQ(input.substr(read->workbookOffset), workbook);
    }
}

TEST(ReaderProtocol, ACutOrMalformedSheetHeaderIsRefused)
{
    for (const std::string_view input : {"", "-", "5", "5\nabc", "x\nabc", "-1\nabc", "3 \nabc"})
        EXPECT_FALSE(parseReadInput(bytesOf(input)).has_value()) << input;
    const std::optional<ReadInput> exact = parseReadInput(bytesOf("3\nabc"));
    ASSERT_TRUE(exact.has_value());
    EXPECT_EQ(exact->sheet, "abc");
    EXPECT_EQ(exact->workbookOffset, 5u);
}

TEST(ReaderProtocol, AnswersAreSplitIntoTagAndText)
{
    const std::vector<Answer> tags{Answer::payload,           Answer::exception,       Answer::noContext,
                                   Answer::libraryUnreadable, Answer::noResult,        Answer::damagedArchive,
                                   Answer::archiveTooLarge,   Answer::encryptedArchive};
    for (const Answer tag : tags) {
        const std::string output = std::string(1, static_cast<char>(tag)) + "{\"sheetNames\":[]}";
        const std::optional<HelperAnswer> answer = parseAnswer(output);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->tag, tag);
        EXPECT_EQ(answer->text, "{\"sheetNames\":[]}");
    }
    EXPECT_FALSE(parseAnswer("").has_value());
    EXPECT_FALSE(parseAnswer("Z{}").has_value());
    EXPECT_FALSE(parseAnswer(std::string(1, '\0')).has_value());
}

}  // namespace
}  // namespace rowlark::workbook::readerProtocol
