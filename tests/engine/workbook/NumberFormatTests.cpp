#include "engine/workbook/format/NumberFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <limits>
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

std::string describe(const CellValue& value)
{
    if (const auto* number = std::get_if<double>(&value)) {
        char buffer[32];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *number).ptr);
    }
    if (const auto* boolean = std::get_if<bool>(&value))
        return *boolean ? "true" : "false";
    return '"' + std::get<std::string>(value) + '"';
}

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
    for (const std::string& line : linesOf("number-format-values.txt")) {
        if (line.empty() || line[0] == '#')
            continue;
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

bool hasAny(std::string_view format, std::initializer_list<std::string_view> parts)
{
    return std::any_of(parts.begin(), parts.end(),
                       [&](std::string_view part) { return format.find(part) != std::string_view::npos; });
}

bool isPlaceholder(char character)
{
    return character == '0' || character == '#' || character == '?';
}

const std::vector<FormatMend>& formatMends()
{
    static const std::vector<FormatMend> mends = {
        // 0E+00 shows no point, ##0.0E+0 takes exponents in threes, E+000 three digits, a sign once.
        {"scientific notation",
         [](std::string_view format) {
             return hasAny(format, {"0E", "#E", ".E", "0e", "#e"});
         }},
        // ?/4 as 17/4, # ?/? as the closest fraction, whole numbers with their fraction left blank.
        {"fractions",
         [](std::string_view format) {
             return hasAny(format, {"?/", "#/", "0/"});
         }},
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
        {"times rounded as a whole",
         [](std::string_view format) {
             return hasAny(format, {"h", "H", "s", "S", ":"});
         }},
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
            ADD_FAILURE() << *pairs[i].format << " with " << describe(pairs[i].value) << ": \"" << *native[i]
                          << "\", the library \"" << library[i] << "\"";
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
    const std::vector<std::pair<std::string, bool>> cases{
        {"m/d/yy", true},
        {"General", false},
        {"0.00E+00", false},
        {"\"d\"0", false},
        {"\\d0", false},
        {"_d0", false},
        {"[Red]0", false},
        {"@", false},
        {"*d0", true},
        {"0\\-d", true},
        {"0\\-0", false},
        {"12e", true},
        {"?d", true},
        {"B1", true},
        {"b", true},
        {"Gm", true},
        {"GeneralE", true},
        {"[$-409]0.00", false},
        {"[$-F800]dddd", true},
        {"#,##0.00_);[Red](#,##0.00)", false},
        {"yyyy-mm-dd hh:mm", true},
        {"d \"days\" h:mm", true},
        {"mmm", true},
        {"m", true},
        {"[h]:mm", false},
        {"[hm]", false},
        {"[Red][s]", false},
        {"am/pm", false},
        {"A/P", false},
        {"0 a", false},
        {"上午/下午", false},
        {"上", false},
        {"h:mm", false},
        {"hh:mm:ss", false},
        {"mm:ss", false},
        {"h:mm AM/PM", false},
        {"mmss.0", false},
        {"[$-F400]h:mm:ss AM/PM", false},
        {"h:mm:ss;@", false},
    };
    for (const auto& [format, isDate] : cases)
        EXPECT_EQ(isDateFormat(format), isDate) << format;
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
            EXPECT_EQ(text, library[i]) << describe(pairs[i].value) << (pairs[i].isDate1904 ? " (1904)" : "");
        } else {
            EXPECT_EQ(text, generalNumberText(value)) << describe(pairs[i].value);
            ++numbers;
        }
    }
    EXPECT_GT(numbers, 10u);
}

// The mends, each with what the spreadsheet shows (LibreOffice's text where its case sheets have
// the case): a format, a value and the text.
struct MendCase {
    std::string_view format;
    double value;
    std::string_view text;
};

void expectTexts(const std::vector<MendCase>& cases)
{
    for (const MendCase& mend : cases) {
        const std::optional<NumberFormat> format = NumberFormat::parse(mend.format);
        ASSERT_TRUE(format) << mend.format;
        EXPECT_EQ(format->format(mend.value).value_or("(declined)"), mend.text)
            << mend.format << " with " << mend.value;
    }
}

TEST(NumberFormatMends, GeneralShowsFifteenSignificantDigits)
{
    expectTexts({{"General", 1.0 / 3, "0.333333333333333"},
                 {"General", 2.718281828459045, "2.71828182845905"},
                 {"General", 12345678901.5, "12345678901.5"},
                 {"General", 9007199254740992.0, "9007199254740990"},
                 {"General", 1e16, "1E+016"},
                 {"General", -1.372160400701095e21, "-1.3721604007011E+021"},
                 {"General", 0.0000051487727, "0.0000051487727"},
                 {"General", 3.1431501118e-07, "3.1431501118E-07"},
                 {"General", 1e-10, "1E-10"},
                 {"General", 5e-324, "5E-324"},
                 {"@", 0.30000000000000004, "0.3"}});
    EXPECT_EQ(generalNumberText(-705072781302.5835), "-705072781302.584");
}

TEST(NumberFormatMends, NonFiniteNumbersShowAsINF)
{
    const double infinity = std::numeric_limits<double>::infinity();
    expectTexts({{"0.00", infinity, "INF"}, {"General", -infinity, "-INF"}, {"0%", infinity, "INF"}});
    // A percentage of a finite number can pass the largest double; a fraction of it then ends too.
    expectTexts({{"0%?/?", 1e307, "INF"}, {"0%?\?/??", -1e307, "-INF"}});
    EXPECT_EQ(dateCellText(infinity, false), "INF");
    EXPECT_EQ(generalNumberText(std::numeric_limits<double>::quiet_NaN()), "NaN");
}

TEST(NumberFormatMends, RoundingIsHalfAwayFromZeroOnTheDecimalValue)
{
    expectTexts({{"0.00", 1.005, "1.01"},
                 {"0", -2.5, "-3"},
                 {"0", -0.5, "-1"},
                 {"0.00E+00", 1.005, "1.01E+00"},
                 {"0.0E+0", 4.35, "4.4E+0"},
                 {"0%", 1.005, "101%"},
                 {"0.00", 0.045, "0.05"},
                 {"0.000000000000000", 123456.789, "123456.789000000000000"},
                 {"0.0000000000", 123456789012.0, "123456789012.0000000000"}});
}

TEST(NumberFormatMends, NumbersFrom1e21AreWrittenOut)
{
    expectTexts({{"0.00", 1e21, "1000000000000000000000.00"},
                 {"#,##0", 1.5e25, "15,000,000,000,000,000,000,000,000"},
                 {"0", 123456789012345678.0, "123456789012346000"},
                 {"\"$\"#,##0.00", -1e100,
                  "-$10,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,"
                  "000,000,000,000,000,000,000,000,000,000,000,000,000.00"}});
}

TEST(NumberFormatMends, ScientificNotation)
{
    expectTexts({{"0E+00", 7, "7E+00"},
                 {"0E+00", 0.25, "3E-01"},
                 {"##0.0E+0", 999.995, "1.0E+3"},
                 {"##0.0E+0", 99999.99, "100.0E+3"},
                 {"##0.0E+0", 0.5, "500.0E-3"},
                 {"##0.00E+000", 1234.5678, "1.23E+003"},
                 {"0.000E-00", 0.5, "5.000E-01"},
                 {"0.000E-00", 12.5, "1.250E01"},
                 {"#.###E+00", 0.25, "2.5E-01"},
                 {"\"$\"0.00E+00", -42, "-$4.20E+01"}});
}

TEST(NumberFormatMends, Fractions)
{
    expectTexts({{"?/4", 4.35, "17/4"},
                 {"?/2", 7, "14/2"},
                 {"?\?/16", 0, " 0/16"},
                 {"# ?/?", 0.1, " 1/9"},
                 {"# ?/?", 123.456, "123 4/9"},
                 {"# ?\?/?\?", 3.14159265358979, "3 14/99"},
                 {"# ??\?/??\?", 3.14159265358979, "3  16/113"},
                 {"# ?/?", 0, "0    "},
                 {"# ?/8", 1, "1   "},
                 {"0 ?/?", 0.5, "0 1/2"},
                 {"# ?/?", -0.5, "- 1/2"},
                 {"# ?\?/?\?", 99999.99, "99999 98/99"}});
}

TEST(NumberFormatMends, PlaceholdersPadAndGroup)
{
    expectTexts({{"00.00", 1, "01.00"},
                 {"000000", -1, "-000001"},
                 {"0,000", 1, "0,001"},
                 {"#,##0.0##", 1234.5678, "1,234.568"},
                 {"#,##0.0##", 1.0 / 3, "0.333"},
                 {"?.??", 0.5, " .5 "},
                 {"#.00", -0.5, "-.50"},
                 {"#,##0,", -1, "0"},
                 {"#,##0.0,,\"M\"", 1234567, "1.2M"},
                 {"0\\%", 1, "1%"}});
}

TEST(NumberFormatMends, TextsBetweenDigitsAndTheSign)
{
    expectTexts({{"000-00-0000", 2147483647, "2147-48-3647"},
                 {"(000) 000-0000", -1, "-(000) 000-0001"},
                 {"??0.00", -1, "-  1.00"},
                 {"\\#0", -0.5, "-#1"}});
}

TEST(NumberFormatMends, ConditionsAndLocaleTags)
{
    expectTexts({{"[<=9999999]###-####;(###) ###-####", -1, "--1"},
                 {"[<=9999999]###-####;(###) ###-####", 12345678.9, "(1) 234-5679"},
                 {"[>=1000]#,##0,\"K\";0", -1234.5678, "1235"},
                 {"[>=1000000]0.0,,\"M\";[>=1000]0.0,\"K\";0", 1234567, "1.2M"},
                 {"[Red][<0]0.00;[Blue][>0]0.00;0.00", -1, "1.00"},
                 {"[$-409]0.00", 1, "1.00"},
                 {"[$€-407] #,##0.00", 1, "€ 1.00"},
                 {"£#,##0.00", -1, "-£1.00"}});
}

TEST(NumberFormatMends, TimesAndDurationsShowTheirTime)
{
    expectTexts({{"hh:mm:ss", 45356.58829861111, "14:07:09"},
                 {"h:mm AM/PM", 0.58829861111, "2:07 PM"},
                 {"[h]:mm", 2.75, "66:00"},
                 {"[h]:mm", -1, "-24:00"},
                 {"h:mm:ss", 0.9999999, "0:00:00"},
                 {"h:mm", 0.0416666, "1:00"},
                 {"mm:ss.0", 0.123456789, "57:46.7"},
                 {"[h]:mm:ss", 0.0, "0:00:00"},
                 {"hh:mm:ss", 2958465.9999884, "23:59:59"},
                 {"h:mm", -0.5, "-0.5"}});
}

TEST(NumberFormatMends, NumbersWithoutADayOfTheCalendarShowAsNumbers)
{
    EXPECT_EQ(dateCellText(0, false), "0");
    EXPECT_EQ(dateCellText(0.25, false), "0.25");
    EXPECT_EQ(dateCellText(-1, false), "-1");
    EXPECT_EQ(dateCellText(60, false), "60");
    EXPECT_EQ(dateCellText(59, false), "1900-02-28");
    EXPECT_EQ(dateCellText(61, false), "1900-03-01");
    EXPECT_EQ(dateCellText(0, true), "1904-01-01");
    EXPECT_EQ(dateCellText(-1, true), "-1");
    EXPECT_EQ(dateCellText(2958466, false), "2958466");
    expectTexts({{"yyyy-mm-dd", -693593, "-693593"}});
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
