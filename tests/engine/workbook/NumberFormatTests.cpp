#include "engine/workbook/format/NumberFormat.h"

#include <gtest/gtest.h>

#include <charconv>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/workbook/library/LibraryFormatting.h"
#include "tests/engine/csv/CSVTestSupport.h"

namespace rowlark::workbook {
namespace {

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

TEST(NumberFormat, GivesTheLibrarysTextWhereverItDoesNotDecline)
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
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (native[i])
            EXPECT_EQ(*native[i], library[i]) << *pairs[i].format << " with " << describe(pairs[i].value);
        else
            ++declined;
    }
    const std::size_t builtInPairs = builtInCount * values.size();
    std::cout << "declined: " << builtInDeclined << " of " << builtInPairs << " built-in pairs, " << declined << " of "
              << pairs.size() << " pairs in all\n";
    EXPECT_EQ(builtInDeclined, 0u);
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
    const std::vector<std::string> library = formatWithLibrary(pairs, FileImport::defaultReaderLocations());
    ASSERT_EQ(library.size(), pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        EXPECT_EQ(dateCellText(std::get<double>(pairs[i].value), pairs[i].isDate1904), library[i])
            << describe(pairs[i].value) << (pairs[i].isDate1904 ? " (1904)" : "");
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
