#include "results/ComparisonReport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace rowlark {
namespace {

using Row = std::vector<std::string>;
using Positions = std::vector<std::size_t>;

struct SafeCellCase {
    std::string value;
    std::string expected;
};

TEST(SafeCell, MakesFormulaLikeValuesInert)
{
    const std::vector<SafeCellCase> cases = {
        {"=SUM(A1:A3)", "'=SUM(A1:A3)"},
        {"+49 30 1234", "'+49 30 1234"},
        {"-5", "'-5"},
        {"-", "'-"},
        {"@user", "'@user"},
        {"  =1+2", "'  =1+2"},
        {"\n\u00A0@x ", "'\n\u00A0@x "},
        {"\tharmless", "'\tharmless"},
        {"\rharmless", "'\rharmless"},
        {"\t", "'\t"},
        {"\t=1", "'\t=1"},
        // A combining mark makes one character of the sign and the mark; the sign still counts.
        {"=\u0301SUM(A1)", "'=\u0301SUM(A1)"},
        {"-\u20DD5", "'-\u20DD5"},
    };
    for (const SafeCellCase& safeCase : cases)
        EXPECT_EQ(ComparisonReport::safeCell(safeCase.value), safeCase.expected) << safeCase.value;
}

TEST(SafeCell, LeavesOtherValuesAlone)
{
    for (const std::string value :
         {"", "   ", "a=b", "x-1", "5-", "'=already", "harmless\t", " \u0301=1", "\uFF1D1",
          "\u2212"
          "5",
          "text\r"})
        EXPECT_EQ(ComparisonReport::safeCell(value), value) << value;
}

RowDifference difference(DiffStatus status, std::string key, std::optional<Row> left,
                         std::optional<Row> right)
{
    std::vector<CellDifference> cells;
    if (status == DiffStatus::changed)
        cells.push_back({Uuid::random(), "name", "name", "x", "y"});
    return {Uuid::random(), std::move(key), status, std::move(left), std::move(right), std::move(cells)};
}

std::string report(const std::vector<RowDifference>& differences, const Positions& indices,
                   const Row& leftHeaders = {"id", "name"}, const Row& rightHeaders = {"id", "name"})
{
    ComparisonSummary summary;
    summary.differences = differences;
    return ComparisonReport::csv(summary, "a.csv", "b.csv", leftHeaders, rightHeaders, indices);
}

constexpr std::string_view headerLine =
    "\"Status\",\"Row key\",\"a.csv \u00B7 id\",\"a.csv \u00B7 name\",\"b.csv \u00B7 id\",\"b.csv \u00B7 name\"\r\n";

TEST(ReportLayout, WithoutIndicesHoldsTheHeaderLineOnly)
{
    EXPECT_EQ(report({difference(DiffStatus::onlyLeft, "1", Row{"1", "x"}, std::nullopt)}, {}), headerLine);
}

TEST(ReportLayout, WritesEachStatusWithWholeRowsSideBySide)
{
    const std::vector<RowDifference> differences = {
        difference(DiffStatus::changed, "1", Row{"1", "Ann"}, Row{"1", "Anne"}),
        difference(DiffStatus::onlyLeft, "2", Row{"2", "Bob"}, std::nullopt),
        difference(DiffStatus::onlyRight, "3", std::nullopt, Row{"3", "Cy"}),
    };
    EXPECT_EQ(report(differences, {0, 1, 2}), std::string(headerLine) +
                                                  "\"Changed\",\"1\",\"1\",\"Ann\",\"1\",\"Anne\"\r\n"
                                                  "\"Only in a.csv\",\"2\",\"2\",\"Bob\",\"\",\"\"\r\n"
                                                  "\"Only in b.csv\",\"3\",\"\",\"\",\"3\",\"Cy\"\r\n");
}

TEST(ReportLayout, FollowsTheGivenOrderAndSkipsInvalidPositions)
{
    const std::vector<RowDifference> differences = {
        difference(DiffStatus::onlyLeft, "1", Row{"1", "a"}, std::nullopt),
        difference(DiffStatus::onlyLeft, "2", Row{"2", "b"}, std::nullopt),
    };
    EXPECT_EQ(report(differences, {1, 2, static_cast<std::size_t>(-1), 0}),
              std::string(headerLine) + "\"Only in a.csv\",\"2\",\"2\",\"b\",\"\",\"\"\r\n"
                                        "\"Only in a.csv\",\"1\",\"1\",\"a\",\"\",\"\"\r\n");
}

TEST(ReportLayout, ShortRowsArePaddedAndLongRowsCutToTheHeaders)
{
    const std::vector<RowDifference> differences = {
        difference(DiffStatus::changed, "1", Row{"1"}, Row{"1", "x", "beyond", "more"}),
        difference(DiffStatus::onlyRight, "", std::nullopt, Row{}),
    };
    EXPECT_EQ(report(differences, {0, 1}), std::string(headerLine) +
                                               "\"Changed\",\"1\",\"1\",\"\",\"1\",\"x\"\r\n"
                                               "\"Only in b.csv\",\"\",\"\",\"\",\"\",\"\"\r\n");
}

TEST(ReportLayout, TablesWithoutHeadersGiveStatusAndKeyOnly)
{
    const std::vector<RowDifference> differences = {
        difference(DiffStatus::onlyLeft, "k", Row{"a"}, std::nullopt)};
    EXPECT_EQ(report(differences, {0}, {}, {}), "\"Status\",\"Row key\"\r\n\"Only in a.csv\",\"k\"\r\n");
}

TEST(ReportEncoding, QuotesAreDoubledAndSeparatorsStayInsideTheirField)
{
    const std::vector<RowDifference> differences = {
        difference(DiffStatus::onlyLeft, "say \"hi\"", Row{"\"", "a,b\r\nc\n\"d\""}, std::nullopt),
    };
    EXPECT_EQ(report(differences, {0}),
              std::string(headerLine) +
                  "\"Only in a.csv\",\"say \"\"hi\"\"\",\"\"\"\",\"a,b\r\nc\n\"\"d\"\"\","
                  "\"\",\"\"\r\n");
}

TEST(ReportEncoding, EveryFieldIsMadeSafeHeadersAndNamesIncluded)
{
    ComparisonSummary summary;
    summary.differences = {difference(DiffStatus::onlyLeft, "-7", Row{"  =1+2", "\tx"}, std::nullopt)};
    const std::string text =
        ComparisonReport::csv(summary, "=a.csv", "b \"2\".csv", {"=id", "name"}, {"@id"}, Positions{0});
    EXPECT_EQ(
        text,
        "\"Status\",\"Row key\",\"'=a.csv \u00B7 =id\",\"'=a.csv \u00B7 name\",\"b \"\"2\"\".csv \u00B7 @id\"\r\n"
        "\"Only in =a.csv\",\"'-7\",\"'  =1+2\",\"'\tx\",\"\"\r\n");
}

TEST(ReportEncoding, ApostropheComesBeforeDoubledQuotes)
{
    ComparisonSummary summary;
    summary.differences = {difference(DiffStatus::onlyLeft, "k", Row{"=\"a\""}, std::nullopt)};
    EXPECT_EQ(ComparisonReport::csv(summary, "a", "b", {"v"}, {}, Positions{0}),
              "\"Status\",\"Row key\",\"a \u00B7 v\"\r\n\"Only in a\",\"k\",\"'=\"\"a\"\"\"\r\n");
}

}  // namespace
}  // namespace rowlark
