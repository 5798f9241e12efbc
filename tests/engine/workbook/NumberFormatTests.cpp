#include "engine/workbook/format/NumberFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/workbook/library/LibraryFormatting.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/engine/workbook/LibraryMends.h"

namespace rowlark::workbook {
namespace {

using testing::mendBetween;

std::vector<std::string> linesOf(const std::string& name)
{
    std::istringstream text(testing::fileText(testing::dataFolder() / "workbook" / name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

// tests/data/workbook/number-format-values.txt: numbers, true, false and "texts"; # comments.
std::vector<CellValue> edgeValues()
{
    std::vector<CellValue> values;
    for (const testing::Row& row : testing::tabSeparatedCases("workbook/number-format-values.txt")) {
        const std::string& line = row.at(0);
        if (line == "true" || line == "false") {
            values.emplace_back(line == "true");
        } else if (line[0] == '"') {
            values.emplace_back(line.substr(1, line.size() - 2));
        } else {
            double number = 0;
            std::from_chars(line.data(), line.data() + line.size(), number);
            values.emplace_back(number);
        }
    }
    return values;
}

// The forms of format where the library's number texts are plainly wrong, each mended (and pinned
// by a test of its own below).
struct FormatMend {
    std::string_view name;
    std::function<bool(std::string_view)> applies;
};

// Whether a format holds any of the parts.
std::function<bool(std::string_view)> holdingAny(std::vector<std::string_view> parts)
{
    return [parts](std::string_view format) {
        return std::ranges::any_of(parts,
                                   [&](std::string_view part) { return format.find(part) != std::string_view::npos; });
    };
}

bool isPlaceholder(char character)
{
    return character == '0' || character == '#' || character == '?';
}

const std::vector<FormatMend>& formatMends()
{
    static const std::vector<FormatMend> mends = {
        // 0E+00 shows no point, ##0.0E+0 takes exponents in threes, E+000 three digits, a sign once.
        {"scientific notation", holdingAny({"0E", "#E", ".E", "0e", "#e"})},
        // ?/4 as 17/4, # ?/? as the closest fraction, whole numbers with their fraction left blank.
        {"fractions", holdingAny({"?/", "#/", "0/"})},
        // 0,000 as 0,001; grouping in any pattern of placeholders.
        {"thousands separators",
         [](std::string_view format) {
             for (std::size_t at = format.find(','); at != std::string_view::npos; at = format.find(',', at + 1))
                 if (at + 1 < format.size() && isPlaceholder(format[at + 1]))
                     return true;
             return false;
         }},
        // ? as a space for a digit not shown, before or after the point.
        {"? placeholders", [](std::string_view format) { return format.find('?') != std::string_view::npos; }},
        // 000-00-0000: every digit in its place and the sign in front.
        {"texts between digits",
         [](std::string_view format) {
             for (std::size_t at = 1; at + 1 < format.size(); ++at)
                 if (isPlaceholder(format[at - 1]) && !isPlaceholder(format[at]) && format[at] != '.' &&
                     format[at] != ',' && format.find_first_of("0#?", at + 1) != std::string_view::npos)
                     return true;
             return false;
         }},
        // 01 as 01 and 11, #.#.# and 0..0 with their second point as a text.
        {"digits and points as texts",
         [](std::string_view format) {
             return format.find_first_of("123456789") != std::string_view::npos ||
                    std::count(format.begin(), format.end(), '.') > 1;
         }},
        // Times rounded as a whole to the precision shown: 23:59:59.99 as 00:00:00, never 23:59:00.
        {"times rounded as a whole", holdingAny({"h", "H", "s", "S", ":"})},
    };
    return mends;
}

// The mend a difference between NumberFormat and the library is, known by the two texts (as in
// workbooks) or by the form of the format.
std::optional<std::string_view> mendOf(const std::string& format, const std::string& native, const std::string& library)
{
    if (const auto mend = mendBetween(native, library))
        return mend;
    for (const FormatMend& mend : formatMends())
        if (mend.applies(format))
            return mend.name;
    return std::nullopt;
}

TEST(NumberFormat, GivesTheLibrarysTextButForTheMends)
{
    std::vector<std::string> formats;
    for (int id = 0; id < 200; ++id)
        if (const auto format = builtInNumberFormat(id))
            formats.emplace_back(*format);
    const std::size_t builtInCount = formats.size();
    ASSERT_EQ(builtInCount, 82u);
    for (std::string& format : linesOf("number-formats.txt"))
        formats.push_back(std::move(format));
    const std::vector<CellValue> values = edgeValues();

    std::vector<FormatPair> pairs;
    std::vector<std::optional<std::string>> native;
    std::size_t builtInDeclined = 0;
    for (std::size_t index = 0; index < formats.size(); ++index) {
        const std::optional<NumberFormat> parsed = NumberFormat::parse(formats[index]);
        for (const CellValue& value : values) {
            pairs.push_back({formats[index], value});
            native.push_back(parsed ? parsed->format(value) : std::nullopt);
            builtInDeclined += index < builtInCount && !native.back();
        }
    }
    const std::vector<std::string> library = formatWithLibrary(pairs, FileImport::defaultReaderLocations());
    ASSERT_EQ(library.size(), pairs.size());
    std::size_t declined = 0;
    std::map<std::string_view, std::size_t> mended;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (!native[i]) {
            ++declined;
            continue;
        }
        if (*native[i] == library[i])
            continue;
        if (const auto mend = mendOf(*pairs[i].format, *native[i], library[i]))
            ++mended[*mend];
        else
            ADD_FAILURE() << *pairs[i].format << " with " << ::testing::PrintToString(pairs[i].value) << ": \""
                          << *native[i] << "\", the library \"" << library[i] << "\"";
    }
    const std::size_t builtInPairs = builtInCount * values.size();
    std::cout << "declined: " << builtInDeclined << " of " << builtInPairs << " built-in pairs, " << declined << " of "
              << pairs.size() << " pairs in all\n";
    for (const auto& [name, count] : mended)
        std::cout << "  mended, " << name << ": " << count << '\n';
    EXPECT_EQ(builtInDeclined, 0u);
}

// A date format is one with a date part; the library's is_date also takes times and durations,
// which now show their time (the mend "times and durations as times").
TEST(NumberFormat, DateFormatsAreFormatsWithADate)
{
    for (const testing::Row& row : testing::tabSeparatedCases("workbook/date-formats.tsv"))
        EXPECT_EQ(isDateFormat(row.at(1)), row.at(0) == "true") << row.at(1);
}

// Whether the library's date text names a day of the calendar.
bool isCalendarDate(std::string_view text)
{
    return !text.empty() && !text.starts_with("1900-01-00") && !text.starts_with("1900-02-29") && text[4] == '-';
}

// Where the value is a day of the calendar, the date text is the library's; elsewhere it is the
// number (the mend "numbers without a day of the calendar as numbers").
TEST(NumberFormat, DateTextsMatchTheLibraryOverTheWholeDateRange)
{
    std::vector<double> values{
        -1,   -1e-9,       0,  1e-9, 0.5,  0.9999999, 59,      59.5,          59.9999999,     60,
        60.5, 60.99999999, 61, 1461, 1462, 1462.5,    2958465, 2958465.99999, 2958465.999999, 2958466,
        1e300};
    for (double day = 0; day <= 2958466; day += 997.13)
        values.push_back(day);
    for (int second = 86390; second < 86400; ++second)
        for (const double fraction : {0.0, 0.49, 0.5, 0.9999, 0.99995, 0.999999})
            values.push_back(45000 + (second + fraction) / 86400);
    std::vector<FormatPair> pairs;
    for (const bool isDate1904 : {false, true})
        for (const double value : values)
            pairs.push_back({std::nullopt, value, isDate1904});
    const std::vector<std::string> library = formatWithLibrary(pairs, FileImport::defaultReaderLocations());
    ASSERT_EQ(library.size(), pairs.size());
    std::size_t numbers = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const double value = std::get<double>(pairs[i].value);
        const std::string text = dateCellText(value, pairs[i].isDate1904);
        if (isCalendarDate(library[i])) {
            EXPECT_EQ(text, library[i]) << value << (pairs[i].isDate1904 ? " (1904)" : "");
        } else {
            EXPECT_EQ(text, generalNumberText(value)) << value;
            ++numbers;
        }
    }
    EXPECT_GT(numbers, 10u);
}

// The mends, each with what the spreadsheet shows (LibreOffice's text where its case sheets have
// the case): tests/data/workbook/number-format-texts.tsv.
std::optional<std::string> textOf(std::string_view format, double value)
{
    if (format == "(general)")
        return generalNumberText(value);
    if (format == "(date)" || format == "(date 1904)")
        return dateCellText(value, format == "(date 1904)");
    const std::optional<NumberFormat> parsed = NumberFormat::parse(format);
    if (!parsed)
        return std::nullopt;
    return parsed->format(value).value_or("(declined)");
}

TEST(NumberFormatMends, TextsAreWhatTheSpreadsheetShows)
{
    const std::vector<testing::Row> rows = testing::tabSeparatedCases("workbook/number-format-texts.tsv");
    ASSERT_EQ(rows.size(), 96u);
    for (const testing::Row& row : rows) {
        double value = 0;
        const std::string& number = row.at(0);
        ASSERT_EQ(std::from_chars(number.data(), number.data() + number.size(), value).ptr,
                  number.data() + number.size())
            << number;
        EXPECT_EQ(textOf(row.at(1), value).value_or("(not parsed)"), row.at(2)) << row.at(1) << " with " << number;
    }
}

// Formatting recurses once for every part of a format it shortens: a format of thousands of
// characters from a hostile workbook went to the library instead of exhausting the stack.
TEST(NumberFormat, FormatsLongerThanSpreadsheetsWriteAreLeftToTheLibrary)
{
    EXPECT_TRUE(NumberFormat::parse("#0" + std::string(253, '.')).has_value());
    EXPECT_FALSE(NumberFormat::parse("#0" + std::string(3000, '.')).has_value());
}

}  // namespace
}  // namespace rowlark::workbook
