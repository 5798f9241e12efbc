#include "table/CSVTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "CSVTestSupport.h"
#include "csv/CSVError.h"
#include "text/Unicode.h"

namespace rowlark {
namespace {

using namespace std::string_literals;
using testing::csvErrorOf;
using testing::Row;
using testing::Rows;
using testing::rowsOf;

struct ParseCase {
    std::string name;
    std::string input;
    Row headers;
    Rows rows;
};

std::ostream& operator<<(std::ostream& stream, const ParseCase& parseCase)
{
    return stream << parseCase.name;
}

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, YieldsTheHeaderAndRowsAsRead)
{
    const CSVTable table = CSVTable::parse(GetParam().input);
    EXPECT_EQ(table.headers(), GetParam().headers);
    EXPECT_EQ(rowsOf(table), GetParam().rows);
    EXPECT_EQ(table.derivedColumnCount(), 0);
    EXPECT_TRUE(table.structuredColumnIndices().empty());
    EXPECT_TRUE(table.derivedColumnIndices().empty());
}

std::string caseName(const ::testing::TestParamInfo<ParseCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    RowsAndWidths, ParseTest,
    ::testing::Values(
        ParseCase{"HeaderOnly", "a,b", {"a", "b"}, {}}, ParseCase{"HeaderOnlyWithLineBreak", "a,b\n", {"a", "b"}, {}},
        ParseCase{"ShortRowIsPadded", "a,b\n1", {"a", "b"}, {{"1", ""}}},
        ParseCase{"TrailingCommaInHeaderAddsUnnamedColumn", "a,b,\n1,2,3", {"a", "b", ""}, {{"1", "2", "3"}}},
        ParseCase{"LastLineWithoutLineBreak", "a,b\n1,2\n3,", {"a", "b"}, {{"1", "2"}, {"3", ""}}},
        ParseCase{
            "BlankLineInsideIsARowOfEmptyCells", "a,b\n1,2\n\n3,4", {"a", "b"}, {{"1", "2"}, {"", ""}, {"3", "4"}}},
        ParseCase{"EmptyRowsInsideAreKept",
                  "a,b\n1,2\n,\n\"\",\n3,4",
                  {"a", "b"},
                  {{"1", "2"}, {"", ""}, {"", ""}, {"3", "4"}}},
        ParseCase{"TrailingBlankAndEmptyRowsAreDropped", "a,b\n1,2\n\n,\n\"\",\"\"\n\n", {"a", "b"}, {{"1", "2"}}},
        ParseCase{"OverWideEmptyRowAtTheEndIsDropped", "a,b\n1,2\n,,,\n", {"a", "b"}, {{"1", "2"}}},
        ParseCase{"EmptyRowsBeforeTextAreRestored",
                  "a,b,c\n\n\n,,x",
                  {"a", "b", "c"},
                  {{"", "", ""}, {"", "", ""}, {"", "", "x"}}},
        ParseCase{"SpacesAreKept", " id,id\n x , y ", {" id", "id"}, {{" x ", " y "}}},
        ParseCase{"DuplicateAndEmptyHeaderNamesStay", "a,,a\n1,2,3", {"a", "", "a"}, {{"1", "2", "3"}}},
        ParseCase{"NulBytesAreText", "a\0b,c\n\0,1"s, {"a\0b"s, "c"}, {{"\0"s, "1"}}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Quotes, ParseTest,
    ::testing::Values(ParseCase{"DoubledQuotesInsideQuotes", "h\n\"x \"\"y\"\" z\"", {"h"}, {{"x \"y\" z"}}},
                      ParseCase{"TwoQuotesAreAnEmptyCell", "h,i\n\"\",1", {"h", "i"}, {{"", "1"}}},
                      ParseCase{"TextAfterClosingQuoteIsAppended", "h\n\"ab\"cd", {"h"}, {{"abcd"}}},
                      ParseCase{"QuotesInsideUnquotedTextStay", "h\nab\"cd\"", {"h"}, {{"ab\"cd\""}}},
                      ParseCase{"QuoteAfterReopenedTextIsText", "h\n\"a\"b\"c\"", {"h"}, {{"ab\"c\""}}},
                      ParseCase{"QuotedCommaAndLineBreakAreKept", "h,i\n\"a,b\nc\",d", {"h", "i"}, {{"a,b\nc", "d"}}},
                      ParseCase{"QuotedHeader", "\"a,b\",c", {"a,b", "c"}, {}},
                      ParseCase{"QuoteClosingAtTheEnd", "h\n\"abc\"", {"h"}, {{"abc"}}},
                      ParseCase{"ThreeQuotesAtTheStartAreAQuote", "h\n\"\"\"a\"", {"h"}, {{"\"a"}}},
                      ParseCase{"SpaceBeforeQuoteMakesItText", "h,i\n \"a,b\"", {"h", "i"}, {{" \"a", "b\""}}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    LineBreaks, ParseTest,
    ::testing::Values(ParseCase{"CarriageReturnLineFeed", "a,b\r\n1,2\r\n", {"a", "b"}, {{"1", "2"}}},
                      ParseCase{"LoneCarriageReturn", "a,b\r1,2\r3,4", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
                      ParseCase{"CarriageReturnBeforeCarriageReturnLineFeed", "a\r\r\nb", {"a"}, {{""}, {"b"}}},
                      ParseCase{
                          "QuotedCarriageReturnLineFeedBecomesLineFeed", "h\n\"a\r\nb\rc\"", {"h"}, {{"a\nb\nc"}}},
                      ParseCase{"LineBreakAfterClosingQuote", "h\n\"a\"\r\nb", {"h"}, {{"a"}, {"b"}}}),
    caseName);

// U+0301 combining acute accent (Extend), U+200D zero width joiner, U+0903 Devanagari sign visarga
// (SpacingMark), U+0600 Arabic number sign (Prepend).
INSTANTIATE_TEST_SUITE_P(
    GraphemeClusters, ParseTest,
    ::testing::Values(
        ParseCase{"CommaBeforeCombiningMarkIsText", "a,b\n1,\u0301x", {"a", "b"}, {{"1,\u0301x", ""}}},
        ParseCase{"CommaBeforeJoinerIsText", "a,b\n1,\u200Dx", {"a", "b"}, {{"1,\u200Dx", ""}}},
        ParseCase{"CommaBeforeSpacingMarkIsText", "a,b\n1,\u0903", {"a", "b"}, {{"1,\u0903", ""}}},
        ParseCase{"CommaAfterPrependIsText", "a,b\n\u0600,x", {"a", "b"}, {{"\u0600,x", ""}}},
        ParseCase{"CommaAfterPrependInHeaderIsText", "\u0600,x", {"\u0600,x"}, {}},
        ParseCase{"CommaAfterCombiningMarkSeparates", "a,b\ne\u0301,x", {"a", "b"}, {{"e\u0301", "x"}}},
        ParseCase{"LineFeedAfterPrependSeparates", "a\n\u0600\nb", {"a"}, {{"\u0600"}, {"b"}}},
        ParseCase{"LineFeedBeforeCombiningMarkSeparates", "a\n\u0301", {"a"}, {{"\u0301"}}},
        ParseCase{"OpeningQuoteBeforeCombiningMarkIsText", "h\n\"\u0301x\"", {"h"}, {{"\"\u0301x\""}}},
        ParseCase{"QuoteAfterPrependInsideQuotesIsText", "h\n\"\u0600\"x\"", {"h"}, {{"\u0600\"x"}}},
        ParseCase{"SecondQuoteBeforeCombiningMarkClosesTheField", "h\n\"a\"\"\u0301b\"", {"h"}, {{"a\"\u0301b\""}}},
        ParseCase{
            "CommaAfterClosingQuoteBeforeCombiningMarkIsText", "h,i\n\"a\",\u0301", {"h", "i"}, {{"a,\u0301", ""}}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    ByteOrderMarks, ParseTest,
    ::testing::Values(
        ParseCase{"LeadingMarkIsRemovedFromTheFirstName", "\uFEFFid,name\n1,x", {"id", "name"}, {{"1", "x"}}},
        ParseCase{"MarkBeforeQuoteKeepsTheQuotes", "\uFEFF\"id\",name", {"\"id\"", "name"}, {}},
        ParseCase{"EveryMarkInTheFirstNameGoes", "i\uFEFFd\uFEFF,x", {"id", "x"}, {}},
        ParseCase{"MarksElsewhereStay", "a,\uFEFFb\n\uFEFF,1", {"a", "\uFEFFb"}, {{"\uFEFF", "1"}}}),
    caseName);

struct FailureCase {
    std::string name;
    std::string input;
    CSVError error;
};

std::ostream& operator<<(std::ostream& stream, const FailureCase& failureCase)
{
    return stream << failureCase.name;
}

class ParseFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ParseFailureTest, FailsWithTheTypedError)
{
    const CSVError error = csvErrorOf([&] { CSVTable::parse(GetParam().input); });
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(error.errorDescription(), GetParam().error.errorDescription());
}

std::string failureName(const ::testing::TestParamInfo<FailureCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    NoHeader, ParseFailureTest,
    ::testing::Values(FailureCase{"EmptyText", "", CSVError::empty()},
                      FailureCase{"OnlyLineBreaks", "\n\r\n\r", CSVError::empty()},
                      FailureCase{"OnlyCommas", ",,\n,\n", CSVError::empty()},
                      FailureCase{"OnlyEmptyQuotes", "\"\"", CSVError::empty()},
                      FailureCase{"BlankFirstLine", "\na,b\n1,2", CSVError::empty()},
                      FailureCase{"EmptyHeaderNamesBeforeAnOverWideRow", ",\n1,2,3", CSVError::empty()},
                      FailureCase{"OnlyAByteOrderMark", "\uFEFF", CSVError::empty()},
                      FailureCase{"ByteOrderMarksAsTheOnlyName", "\uFEFF\uFEFF\n1", CSVError::empty()}),
    failureName);

INSTANTIATE_TEST_SUITE_P(
    OverWideRows, ParseFailureTest,
    ::testing::Values(FailureCase{"TrailingComma", "a,b\n1,2,", CSVError::tooManyColumns(2, 2, 3)},
                      FailureCase{"BlankLinesCountAsRecords", "a,b\n1,2\n\n1,2,3", CSVError::tooManyColumns(4, 2, 3)},
                      FailureCase{"QuotedLineBreaksDoNotCount", "a\n\"x\ny\"\n1,2", CSVError::tooManyColumns(3, 1, 2)},
                      FailureCase{"TheFirstOverWideRowDecides", "a\n1,2,3\n1,2", CSVError::tooManyColumns(2, 1, 3)},
                      FailureCase{"EmptyOverWideRowBeforeText", "a,b\n,,,\n1", CSVError::tooManyColumns(2, 2, 4)},
                      FailureCase{"OverWideRowAfterBlankRows", "a\n\n\n,x", CSVError::tooManyColumns(4, 1, 2)}),
    failureName);

INSTANTIATE_TEST_SUITE_P(
    UnclosedQuotes, ParseFailureTest,
    ::testing::Values(FailureCase{"LoneQuote", "\"", CSVError::unclosedQuote()},
                      FailureCase{"TextEndsInsideQuotes", "a\n\"abc", CSVError::unclosedQuote()},
                      FailureCase{"EscapedQuoteAtTheEnd", "a\n\"abc\"\"", CSVError::unclosedQuote()},
                      FailureCase{"ClosingQuoteBeforeCombiningMarkIsText", "h\n\"a\"\u0301b",
                                  CSVError::unclosedQuote()},
                      FailureCase{"ReportedBeforeAnOverWideRow", "a\n1,2\n\"x", CSVError::unclosedQuote()},
                      FailureCase{"ReportedBeforeAMissingHeader", "\n\"", CSVError::unclosedQuote()}),
    failureName);

TEST(CSVErrorMessages, AreTheUserVisibleTexts)
{
    EXPECT_EQ(CSVError::tooManyColumns(2, 2, 3).errorDescription(),
              "CSV row 2 has 3 columns, but the header has 2. No data was imported.");
    EXPECT_STREQ(CSVError::tooManyColumns(1234567, 100000, 100001).what(),
                 "CSV row 1234567 has 100001 columns, but the header has 100000. No data was imported.");
    EXPECT_EQ(CSVError::unreadable().errorDescription(), "The CSV could not be decoded as UTF-8 or Windows-1252.");
    EXPECT_EQ(CSVError::empty().errorDescription(), "The CSV has no header row.");
    EXPECT_EQ(CSVError::unclosedQuote().errorDescription(), "The CSV contains an unclosed quoted field.");
}

TEST(CSVErrorMessages, CarryThePayloadOfOverWideRows)
{
    const CSVError error = csvErrorOf([] { CSVTable::parse("a,b\n1,2\n1,2,3,4"); });
    EXPECT_EQ(error.kind(), CSVError::Kind::tooManyColumns);
    EXPECT_EQ(error.row(), 3);
    EXPECT_EQ(error.expected(), 2);
    EXPECT_EQ(error.actual(), 4);
}

TEST(LargeInputs, HundredThousandColumns)
{
    constexpr std::size_t width = 100'000;
    std::string text;
    for (std::size_t column = 0; column < width; ++column)
        text += (column == 0 ? "c" : ",c") + std::to_string(column);
    text += "\n1\n\n,,x\n";
    const CSVTable table = CSVTable::parse(text);
    ASSERT_EQ(table.columnCount(), width);
    ASSERT_EQ(table.rowCount(), 3u);
    EXPECT_EQ(table.headers()[width - 1], "c99999");
    EXPECT_EQ(table.cell(0, 0), "1");
    EXPECT_EQ(table.cell(0, width - 1), "");
    EXPECT_EQ(table.cell(2, 2), "x");

    const CSVError error = csvErrorOf([&] { CSVTable::parse("a\n" + std::string(width, ',') + "x"); });
    EXPECT_EQ(error, CSVError::tooManyColumns(2, 1, width + 1));
}

TEST(LargeInputs, HundredMegabyteCell)
{
    std::string cell(100'000'000, 'x');
    for (std::size_t position = 0; position < cell.size(); position += 4096)
        cell[position] = position % 8192 == 0 ? ',' : '\n';
    const CSVTable table = CSVTable::parse("h,i\n\"" + cell + "\",2\n");
    ASSERT_EQ(table.rowCount(), 1u);
    EXPECT_TRUE(table.cell(0, 0) == cell);
    EXPECT_EQ(table.cell(0, 1), "2");
}

TEST(LargeInputs, ManyTrailingBlankLinesUnderAWideHeader)
{
    const std::string header = std::string(99'999, ',') + "a";
    const CSVTable table = CSVTable::parse(header + "\n1\n" + std::string(100'000, '\n'));
    EXPECT_EQ(table.rowCount(), 1u);
    EXPECT_LT(table.memoryUsage(), 20'000'000u);
}

TEST(OddBytes, InvalidUTF8PassesThroughAsBytes)
{
    const CSVTable table = CSVTable::parse("h,i\n\xE9,\xFF\x80\n\"\xC3\",\xF0\x9F");
    EXPECT_EQ(rowsOf(table), (Rows{{"\xE9", "\xFF\x80"}, {"\xC3", "\xF0\x9F"}}));
}

TEST(OddBytes, TruncatedSequencesAroundSeparatorsDoNotCrash)
{
    for (const std::string input : {"\xCC,\xCC", "\xE2\x80,\xCC\x81", ",\xD8", "\"\xD8\"\xCC", "\xD8\x80"})
        EXPECT_NO_THROW(CSVTable::parse("h,i,j\n" + input)) << ::testing::PrintToString(input);
}

// The rules as written, over grapheme clusters, without any shortcut; the parser must agree with it
// on every input.
struct ReferenceOutcome {
    std::optional<CSVError> error;
    Row headers;
    Rows rows;

    bool operator==(const ReferenceOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& stream, const ReferenceOutcome& outcome)
{
    if (outcome.error)
        return stream << outcome.error->errorDescription();
    stream << "headers " << ::testing::PrintToString(outcome.headers);
    return stream << " rows " << ::testing::PrintToString(outcome.rows);
}

std::string withLineFeeds(std::string_view text)
{
    std::string normalized;
    for (std::size_t position = 0; position < text.size(); ++position) {
        if (text[position] != '\r') {
            normalized += text[position];
            continue;
        }
        normalized += '\n';
        if (position + 1 < text.size() && text[position + 1] == '\n')
            ++position;
    }
    return normalized;
}

ReferenceOutcome referenceParse(std::string_view input)
{
    const std::string text = withLineFeeds(input);
    const std::vector<std::string_view> characters = text::graphemeClusters(text);
    std::string field;
    Row row;
    Rows rows;
    bool inQuotes = false;
    const auto handleUnquoted = [&](std::string_view character) {
        if (character == ",") {
            row.push_back(std::exchange(field, {}));
        } else if (character == "\n") {
            row.push_back(std::exchange(field, {}));
            rows.push_back(std::exchange(row, {}));
        } else {
            field += character;
        }
    };
    for (std::size_t index = 0; index < characters.size(); ++index) {
        const std::string_view character = characters[index];
        if (!inQuotes) {
            if (character == "\"" && field.empty())
                inQuotes = true;
            else
                handleUnquoted(character);
        } else if (character != "\"") {
            field += character;
        } else if (index + 1 == characters.size()) {
            inQuotes = false;
        } else if (characters[++index] == "\"") {
            field += '"';
        } else {
            inQuotes = false;
            handleUnquoted(characters[index]);
        }
    }
    if (inQuotes)
        return {CSVError::unclosedQuote(), {}, {}};
    if (!field.empty() || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    const auto isEmptyRow = [](const Row& cells) {
        return std::all_of(cells.begin(), cells.end(), [](const std::string& cell) { return cell.empty(); });
    };
    while (!rows.empty() && isEmptyRow(rows.back()))
        rows.pop_back();
    if (rows.empty())
        return {CSVError::empty(), {}, {}};
    Row headers = rows.front();
    rows.erase(rows.begin());
    for (auto mark = headers[0].find("\uFEFF"); mark != std::string::npos; mark = headers[0].find("\uFEFF"))
        headers[0].erase(mark, 3);
    if (isEmptyRow(headers))
        return {CSVError::empty(), {}, {}};
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (rows[index].size() > headers.size())
            return {CSVError::tooManyColumns(static_cast<std::int64_t>(index) + 2,
                                             static_cast<std::int64_t>(headers.size()),
                                             static_cast<std::int64_t>(rows[index].size())),
                    {},
                    {}};
        rows[index].resize(headers.size());
    }
    return {std::nullopt, std::move(headers), std::move(rows)};
}

ReferenceOutcome parserOutcome(const std::string& input)
{
    try {
        const CSVTable table = CSVTable::parse(input);
        return {std::nullopt, table.headers(), rowsOf(table)};
    } catch (const CSVError& error) {
        return {error, {}, {}};
    }
}

std::string randomText(std::mt19937& random)
{
    static const std::vector<std::string> pieces = {
        ",",      ",",   ",",      "\"",     "\"",         "\"",
        "\n",     "\n",  "\r",     "\r\n",   "a",          "b",
        " ",
        "\u0301",  // combining acute accent
        "\u200D",  // zero width joiner
        "\u0903",  // Devanagari visarga, a spacing mark
        "\u0600",  // Arabic number sign, prepended to what follows
        "\uFEFF", "\0"s, "\u00E9", "\u65E5", "\U0001F600", "\U0001F1E9\U0001F1EA"};
    std::uniform_int_distribution<std::size_t> length(0, 40);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::string text;
    for (std::size_t count = length(random); count > 0; --count)
        text += pieces[piece(random)];
    return text;
}

TEST(GraphemeScanning, AgreesWithTheClusterRulesOnRandomTexts)
{
    std::mt19937 random(20240611);
    for (int iteration = 0; iteration < 10'000; ++iteration) {
        const std::string input = randomText(random);
        ASSERT_EQ(parserOutcome(input), referenceParse(input)) << ::testing::PrintToString(input);
    }
}

}  // namespace
}  // namespace rowlark
