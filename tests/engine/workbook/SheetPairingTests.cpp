#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/workbook/SheetPairing.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/support/CaseText.h"

namespace rowlark::workbook {
namespace {

// Sheets written as names with '|' between, a hidden one with a leading '*'; nothing for none.
std::vector<SheetEntry> sheetsOf(const std::string& field)
{
    std::vector<SheetEntry> sheets;
    if (field.empty())
        return sheets;
    std::string names = testing::unescaped(field) + '|';
    for (std::size_t at = 0, end; (end = names.find('|', at)) != std::string::npos; at = end + 1) {
        const std::string name = names.substr(at, end - at);
        sheets.push_back({name.starts_with('*') ? name.substr(1) : name, name.starts_with('*')});
    }
    return sheets;
}

std::string sheetText(const SheetEntry& sheet)
{
    return (sheet.isHidden ? "*" : "") + sheet.name;
}

// One line a pair, "left = right" by name, "left ~ right" ignoring case, "left # right" by
// position; then "A only:" and "B only:" with the unpaired sheets.
std::string pairingText(const SheetPairing& pairing)
{
    std::string text;
    for (const SheetPair& pair : pairing.pairs) {
        const char* mark = pair.match == SheetMatch::name               ? " = "
                           : pair.match == SheetMatch::nameIgnoringCase ? " ~ "
                                                                        : " # ";
        text += "[" + sheetText(pair.left) + "]" + mark + "[" + sheetText(pair.right) + "]\n";
    }
    text += "A only:";
    for (const SheetEntry& sheet : pairing.onlyInLeft)
        text += " [" + sheetText(sheet) + "]";
    text += "\nB only:";
    for (const SheetEntry& sheet : pairing.onlyInRight)
        text += " [" + sheetText(sheet) + "]";
    return text + "\n";
}

class SheetPairingTest : public ::testing::TestWithParam<testing::Row> {};

TEST_P(SheetPairingTest, PairsAsExpected)
{
    const testing::Row& testCase = GetParam();
    EXPECT_EQ(pairingText(pairSheets(sheetsOf(testCase[1]), sheetsOf(testCase[2]))), testing::unescaped(testCase[3]));
}

INSTANTIATE_TEST_SUITE_P(Cases, SheetPairingTest,
                         ::testing::ValuesIn(testing::tabSeparatedCases("workbook/sheet-pairings.tsv")),
                         [](const auto& info) { return info.param[0]; });

}  // namespace
}  // namespace rowlark::workbook
