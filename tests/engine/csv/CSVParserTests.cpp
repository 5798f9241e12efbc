#include "engine/table/Table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/csv/CSVError.h"
#include "engine/csv/CSVParser.h"
#include "engine/csv/CSVSeparator.h"
#include "engine/text/JSON.h"
#include "engine/text/Unicode.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/support/CaseLines.h"

namespace rowlark::csv {
namespace {

using testing::csvErrorOf;
using testing::Row;
using testing::Rows;
using testing::rowsOf;
using testing::unescaped;

TEST(CSVErrorMessages, AreTheUserVisibleTextsAndCarryThePayloadOfOverWideRows)
{
    EXPECT_STREQ(CSVError::tooManyColumns(1234567, 100000, 100001).what(),
                 "CSV row 1234567 has 100001 columns, but the header has 100000. No data was imported.");
    EXPECT_EQ(CSVError::unreadable().errorDescription(), "The CSV could not be decoded as UTF-8 or Windows-1252.");
    const CSVError error = csvErrorOf([] { table::Table::parse("a,b\n1,2\n1,2,3,4"); });
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
    const table::Table table = table::Table::parse(text);
    ASSERT_EQ(table.columnCount(), width);
    ASSERT_EQ(table.rowCount(), 3u);
    EXPECT_EQ(table.headers()[width - 1], "c99999");
    EXPECT_EQ(table.cell(0, 0), "1");
    EXPECT_EQ(table.cell(0, width - 1), "");
    EXPECT_EQ(table.cell(2, 2), "x");

    const CSVError error = csvErrorOf([&] { table::Table::parse("a\n" + std::string(width, ',') + "x"); });
    EXPECT_EQ(error, CSVError::tooManyColumns(2, 1, width + 1));
}

TEST(LargeInputs, HundredMegabyteCell)
{
    std::string cell(100'000'000, 'x');
    for (std::size_t position = 0; position < cell.size(); position += 4096)
        cell[position] = position % 8192 == 0 ? ',' : '\n';
    const table::Table table = table::Table::parse("h,i\n\"" + cell + "\",2\n");
    ASSERT_EQ(table.rowCount(), 1u);
    EXPECT_TRUE(table.cell(0, 0) == cell);
    EXPECT_EQ(table.cell(0, 1), "2");
}

TEST(LargeInputs, ManyTrailingBlankLinesUnderAWideHeader)
{
    const std::string header = std::string(99'999, ',') + "a";
    const table::Table table = table::Table::parse(header + "\n1\n" + std::string(100'000, '\n'));
    EXPECT_EQ(table.rowCount(), 1u);
    EXPECT_LT(table.memoryUsage(), 20'000'000u);
}

TEST(OddBytes, InvalidUTF8PassesThroughAsBytes)
{
    const table::Table table = table::Table::parse("h,i\n\xE9,\xFF\x80\n\"\xC3\",\xF0\x9F");
    EXPECT_EQ(rowsOf(table), (Rows{{"\xE9", "\xFF\x80"}, {"\xC3", "\xF0\x9F"}}));
}

TEST(OddBytes, TruncatedSequencesAroundSeparatorsDoNotCrash)
{
    for (const std::string input : {"\xCC,\xCC", "\xE2\x80,\xCC\x81", ",\xD8", "\"\xD8\"\xCC", "\xD8\x80"})
        EXPECT_NO_THROW(table::Table::parse("h,i,j\n" + input)) << ::testing::PrintToString(input);
}

// Whether some cell of each column looks like a JSON object: the parser works it out as it goes,
// a table built row by row as cells arrive; rows padded with empty cells count as empty cells.
TEST(JSONLookingCells, ParsedAndBuiltTablesKnowTheirColumns)
{
    const std::vector<std::string> cells{"a",      "Z",  "7",           "", "", " x", "{}", "\"q\"",
                                         " \n\t{", "-1", "\xC3\xA9,\n", "_"};
    const auto looksLikeJSON = [](std::string_view cell) {
        const std::size_t first = cell.find_first_not_of(" \t\n");
        return first != std::string_view::npos && (cell[first] == '{' || cell[first] == '"');
    };
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const std::size_t width = 1 + random() % 5;
        Rows rows(random() % 4);
        std::string csv = std::string(width - 1, ',') + "h\n";
        std::vector<bool> expected(width);
        for (Row& row : rows) {
            row.resize(1 + random() % width);
            for (std::size_t column = 0; column < row.size(); ++column) {
                row[column] = cells[random() % cells.size()];
                expected[column] = expected[column] || looksLikeJSON(row[column]);
                std::string quoted = "\"";
                for (const char character : row[column])
                    quoted += character == '"' ? "\"\"" : std::string(1, character);
                csv += quoted + "\",";
            }
            csv.back() = '\n';
        }
        Row headers(width);
        headers.back() = "h";
        for (const table::Table& table : {table::Table::parse(csv), table::Table::fromRows(headers, rows)})
            for (std::size_t column = 0; column < width; ++column)
                EXPECT_EQ(table.hasCellsLookingLikeJSON(column), expected[column]) << csv << " column " << column;
    }
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
    for (std::size_t position = 0; position < text.size(); ++position)
        if (!text.substr(position).starts_with("\r\n"))
            normalized += text[position] == '\r' ? '\n' : text[position];
    return normalized;
}

// One record as the rules split it: its fields, whether a comma stands outside its quoted fields,
// and whether it is a line without a single character.
struct ReferenceRecord {
    Row fields{1};
    bool hasCommaOutsideQuotes = false;
    bool isBlank = true;
};

struct ReferenceSplit {
    std::vector<ReferenceRecord> records;  // the last one holds characters
    bool endsInQuotes = false;
    bool endsInsideARecord = false;  // no line break ends the last record
};

// The records of a text whose line breaks are line feeds, split into fields by grapheme clusters.
ReferenceSplit referenceSplit(std::string_view text, std::string_view separator)
{
    const std::vector<std::string_view> characters = text::graphemeClusters(text);
    ReferenceSplit split{{ReferenceRecord{}}, false};
    bool& inQuotes = split.endsInQuotes;
    const auto handleUnquoted = [&](std::string_view character) {
        ReferenceRecord& record = split.records.back();
        if (character == "\n") {
            split.records.emplace_back();
            return;
        }
        if (character == separator) {
            record.fields.emplace_back();
        } else {
            record.fields.back() += character;
            record.hasCommaOutsideQuotes = record.hasCommaOutsideQuotes || character == ",";
        }
    };
    for (std::size_t index = 0; index < characters.size(); ++index) {
        const std::string_view character = characters[index];
        if (inQuotes || character != "\n")
            split.records.back().isBlank = false;
        std::string& field = split.records.back().fields.back();
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
    split.endsInsideARecord = !split.records.back().isBlank;
    if (!split.endsInsideARecord)
        split.records.pop_back();
    return split;
}

ReferenceOutcome referenceParse(std::string_view input, std::string_view separator = ",")
{
    const ReferenceSplit split = referenceSplit(withLineFeeds(input), separator);
    if (split.endsInQuotes)
        return {CSVError::unclosedQuote(), {}, {}};
    Rows rows;
    for (const ReferenceRecord& record : split.records)
        rows.push_back(record.fields);
    // A text that ends without a line break ends its last record only when that holds any text.
    if (split.endsInsideARecord && rows.back() == Row{""})
        rows.pop_back();
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
            return {CSVError::tooManyColumns(index + 2, headers.size(), rows[index].size()), {}, {}};
        rows[index].resize(headers.size());
    }
    return {std::nullopt, std::move(headers), std::move(rows)};
}

ReferenceOutcome parserOutcome(const std::string& input, Separator separator = Separator::comma)
{
    try {
        ParsedCSV parsed = parseCSV(input, 0, separator);
        const table::Table table = table::Table::fromStore(std::move(parsed.headers), std::move(parsed.cells));
        return {std::nullopt, table.headers(), rowsOf(table)};
    } catch (const CSVError& error) {
        return {error, {}, {}};
    }
}

// The detection as written, over the records the rules split.
Separator referenceDetection(std::string_view input)
{
    const std::string text = withLineFeeds(input);
    for (const Separator candidate : {Separator::semicolon, Separator::tab, Separator::pipe}) {
        const char character = static_cast<char>(candidate);
        std::vector<ReferenceRecord> records = referenceSplit(text, std::string_view(&character, 1)).records;
        if (records.empty() || records.front().fields.size() < 2 || records.front().hasCommaOutsideQuotes)
            continue;
        const std::size_t width = records.front().fields.size();
        std::erase_if(records, [](const ReferenceRecord& record) { return record.isBlank; });
        records.resize(std::min(records.size(), detectionRecordCount + 1));
        if (std::ranges::all_of(records, [&](const ReferenceRecord& record) { return record.fields.size() == width; }))
            return candidate;
    }
    return Separator::comma;
}

std::string randomText(std::mt19937& random)
{
    static const std::vector<std::string> pieces = testing::caseLines(testing::dataFolder() / "csv/random-pieces.txt");
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
        for (const Separator separator : allSeparators) {
            const char character = static_cast<char>(separator);
            ASSERT_EQ(parserOutcome(input, separator), referenceParse(input, std::string_view(&character, 1)))
                << name(separator) << " " << ::testing::PrintToString(input);
        }
    }
}

// Texts of a few records that often split alike, so that every candidate is often chosen.
std::string randomRecords(std::mt19937& random)
{
    static const std::vector<std::string> separators = {",", ";", "\t", "|"};
    const std::string& separator = separators[random() % separators.size()];
    std::string text;
    for (std::size_t record = random() % 5; record > 0; --record) {
        for (std::size_t field = 1 + random() % 3; field > 0; --field)
            text += (random() % 3 == 0 ? randomText(random).substr(0, 6) : "x") + (field > 1 ? separator : "");
        text += random() % 4 == 0 ? "\r\n" : "\n";
    }
    return text;
}

TEST(SeparatorDetection, AgreesWithTheRulesOnRandomTexts)
{
    std::mt19937 random(20250301);
    for (int iteration = 0; iteration < 20'000; ++iteration) {
        const std::string input = iteration % 2 == 0 ? randomText(random) : randomRecords(random);
        ASSERT_EQ(detectSeparator(input), referenceDetection(input)) << ::testing::PrintToString(input);
    }
}

TEST(SeparatorDetection, StartsAfterTheByteOrderMark)
{
    EXPECT_EQ(detectSeparator("\xEF\xBB\xBF\"a\";b\n1;2\n", 3), Separator::semicolon);
    EXPECT_EQ(detectSeparator("", 0), Separator::comma);
    EXPECT_EQ(detectSeparator("a;b", 10), Separator::comma) << "a start past the end reads nothing";
}

TEST(SeparatorNames, AreTheCharacterOrItsNameAndHaveTitles)
{
    const std::vector<Row> cases = testing::tabSeparatedCases("csv/separator-names.txt");
    EXPECT_EQ(cases.size(), 13u);
    for (const Row& fields : cases) {
        const auto named = separatorNamed(unescaped(fields.at(0)));
        EXPECT_EQ(named ? std::string(name(*named)) + " " + std::string(title(*named)) : "none", fields.at(1))
            << fields.at(0);
    }
}

// Columns whose first few thousand rows repeat a few texts are kept as codes. Long random tables
// mix such columns with free ones, blank and short rows, texts first met after the sampled rows
// (JSON-looking ones among them) and cells the grapheme rules read oddly; the parser must still
// agree with the rules, and know which columns hold JSON-looking cells.
TEST(CodedColumns, LongTablesAgreeWithTheRules)
{
    std::mt19937 random(20261207);
    // Random texts that, quoted, stay one cell under the grapheme rules.
    const auto oneCellText = [&random] {
        while (true) {
            std::string text = randomText(random);
            std::erase(text, '"');
            const ReferenceOutcome alone = referenceParse("h\n\"" + text + "\"");
            if (!alone.error && (text.empty() || alone.rows == Rows{{text}}))
                return text;
        }
    };
    for (int round = 0; round < 4; ++round) {
        const std::size_t width = 1 + random() % 4;
        std::vector<std::vector<std::string>> pools(width);
        for (auto& pool : pools)
            for (std::size_t count = 1 + random() % 6; count > 0; --count)
                pool.push_back(random() % 4 == 0 ? oneCellText() : "v" + std::to_string(random() % 100));
        const std::vector<bool> isFree = {false, round % 2 == 1, false, true};
        std::string input = "a,b,c,d\n";
        for (std::size_t row = 0; row < 6000; ++row) {
            if (random() % 500 == 0) {
                input += random() % 2 == 0 ? "\n" : "\r\n";
                continue;
            }
            const std::size_t cells = random() % 50 == 0 ? 1 + random() % width : width;
            for (std::size_t column = 0; column < cells; ++column) {
                std::string cell = pools[column][random() % pools[column].size()];
                if (isFree[column])
                    cell = oneCellText();
                else if (row > 5000 && random() % 20 == 0)
                    cell = random() % 2 == 0 ? "{\"late\": " + std::to_string(row) + "}" : oneCellText();
                const bool isQuoted = cell.find_first_of(",\r\n\"") != std::string::npos || random() % 3 == 0;
                std::string quoted;
                for (const char character : cell)
                    quoted += character == '"' ? "\"\"" : std::string(1, character);
                input += (isQuoted ? "\"" + quoted + "\"" : cell) + (column + 1 < cells ? "," : "\n");
            }
        }
        const ReferenceOutcome expected = referenceParse(input);
        ASSERT_EQ(parserOutcome(input), expected) << "round " << round;
        if (expected.error)
            continue;
        const table::Table table = table::Table::parse(input);
        for (std::size_t column = 0; column < table.columnCount(); ++column) {
            const bool hasJSON = std::ranges::any_of(
                expected.rows, [&](const Row& row) { return text::looksLikeJSONObject(row[column]); });
            EXPECT_EQ(table.hasCellsLookingLikeJSON(column), hasJSON) << "round " << round << " column " << column;
        }
    }
}

TEST(CodedColumns, KeepRepeatedTextsOnceAndTakeAnyNumberOfLaterOnes)
{
    // One text through the sampled rows, then 70,000 new ones: the codes outgrow one byte and two,
    // and the last new texts, a JSON-looking one among them, are past what a dictionary keeps.
    std::string input = "repeated,late\n";
    Rows expected;
    std::size_t cellBytes = 0;
    const std::string repeated(40, 'r');
    for (std::size_t row = 0; row < 75'000; ++row) {
        const std::string late = row < 5000 ? "x" : row + 1 < 75'000 ? "late " + std::to_string(row) : "{\"a\": 1}";
        input += repeated + ",\"" + (late.starts_with('{') ? "{\"\"a\"\": 1}" : late) + "\"\n";
        expected.push_back({repeated, late});
        cellBytes += repeated.size() + late.size();
    }
    const table::Table table = table::Table::parse(input);
    EXPECT_EQ(rowsOf(table), expected);
    EXPECT_TRUE(table.hasCellsLookingLikeJSON(1));
    EXPECT_LT(table.memoryUsage(), cellBytes);
}

}  // namespace
}  // namespace rowlark::csv
