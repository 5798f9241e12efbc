#include "workbook/NumberFormat.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "../csv/CSVTestSupport.h"
#include "workbook/LibraryFormatting.h"

namespace rowlark::workbook {
namespace {

// Values at the edges of the formats: signs, rounding halves, the places where JavaScript's
// number texts change form, and days at the ends of the date systems.
const std::vector<CellValue> edgeValues{
    0.0,
    -0.0,
    1.0,
    -1.0,
    7.0,
    -42.0,
    100.0,
    1000000.0,
    2147483647.0,
    2147483648.0,
    -2147483648.0,
    -2147483649.0,
    0.5,
    -0.5,
    0.125,
    2.5,
    -2.5,
    1.005,
    1.5,
    0.045,
    0.1,
    0.001,
    0.0001234,
    1e-10,
    -1e-10,
    1e-7,
    1.23456789e-5,
    123.456,
    -123.456,
    1234.5678,
    -1234.5678,
    12345678.9,
    9999999999.5,
    1e10,
    12345678901.5,
    123456789012.0,
    1e15,
    1.5e16,
    1e21,
    -1e21,
    1e33,
    1.7976931348623157e308,
    5e-324,
    0.999,
    0.9999999,
    59.99999,
    3.14159265358979,
    1.0 / 3,
    2.0 / 3,
    0.95,
    9.995,
    99.5,
    999999.5,
    0.0005,
    // exact halves at the digit where "General" rounds
    1.0009765625,
    -1.0009765625,
    0.0009765625,
    1.0001220703125,
    123456789012.000244140625,
    // 1900-02-28, the day the library counts as 1900-02-29, 1900-03-01, and the first day of 1904
    59.0,
    60.0,
    61.0,
    0.999999,
    61.99999999,
    1462.0,
    45000.5,
    45000.999994,
    45000.0000058,
    45000.25,
    0.75,
    2958465.0,
    2958465.99999,
    2958466.0,
    true,
    false,
    std::string(),
    std::string("text"),
    std::string("12.5"),
};

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

std::vector<std::string> customFormats()
{
    std::istringstream lines(testing::fileText(testing::dataFolder() / "workbook" / "number-formats.txt"));
    std::vector<std::string> formats;
    for (std::string line; std::getline(lines, line);)
        formats.push_back(line);
    return formats;
}

TEST(NumberFormat, GivesTheLibrarysTextWhereverItDoesNotDecline)
{
    std::vector<std::string> formats;
    for (int id = 0; id < 200; ++id)
        if (const auto format = builtInNumberFormat(id))
            formats.emplace_back(*format);
    const std::size_t builtInCount = formats.size();
    ASSERT_EQ(builtInCount, 82u);
    for (std::string& format : customFormats())
        formats.push_back(std::move(format));

    std::vector<FormatPair> pairs;
    std::vector<std::optional<std::string>> native;
    std::size_t builtInDeclined = 0;
    for (std::size_t index = 0; index < formats.size(); ++index) {
        const std::optional<NumberFormat> parsed = NumberFormat::parse(formats[index]);
        for (const CellValue& value : edgeValues) {
            pairs.push_back({formats[index], value});
            native.push_back(parsed ? parsed->format(value) : std::nullopt);
            builtInDeclined += index < builtInCount && !native.back();
        }
    }
    const std::vector<std::string> library = formatWithLibrary(pairs, SpreadsheetImporter::defaultReaderLocations());
    ASSERT_EQ(library.size(), pairs.size());
    std::size_t declined = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (native[i])
            EXPECT_EQ(*native[i], library[i]) << *pairs[i].format << " with " << describe(pairs[i].value);
        else
            ++declined;
    }
    const std::size_t builtInPairs = builtInCount * edgeValues.size();
    std::cout << "declined: " << builtInDeclined << " of " << builtInPairs << " built-in pairs, " << declined << " of "
              << pairs.size() << " pairs in all\n";
    EXPECT_LT(builtInDeclined * 20, builtInPairs);
}

TEST(NumberFormat, DateFormatsAreTheLibrarysDateFormats)
{
    // What the library's is_date answers for each.
    const std::vector<std::pair<std::string, bool>> cases{
        {"m/d/yy", true}, {"General", false},     {"0.00E+00", false},    {"\"d\"0", false},
        {"\\d0", false},  {"_d0", false},         {"[Red]0", false},      {"[h]", true},
        {"[hm]", true},   {"[Red][s]", true},     {"am/pm", true},        {"A/P", true},
        {"0 a", false},   {"上午/下午", true},    {"上", false},          {"B1", true},
        {"b", true},      {"Gm", true},           {"GeneralE", true},     {"@", false},
        {"*d0", true},    {"0\\-d", true},        {"0\\-0", false},       {"12e", true},
        {"?d", true},     {"[$-409]0.00", false}, {"[$-F800]dddd", true}, {"#,##0.00_);[Red](#,##0.00)", false},
    };
    for (const auto& [format, isDate] : cases)
        EXPECT_EQ(isDateFormat(format), isDate) << format;
}

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
    const std::vector<std::string> library = formatWithLibrary(pairs, SpreadsheetImporter::defaultReaderLocations());
    ASSERT_EQ(library.size(), pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        EXPECT_EQ(dateCellText(std::get<double>(pairs[i].value), pairs[i].isDate1904), library[i])
            << describe(pairs[i].value) << (pairs[i].isDate1904 ? " (1904)" : "");
}

}  // namespace
}  // namespace rowlark::workbook
