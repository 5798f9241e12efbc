#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/workbook/SheetPairing.h"

namespace rowlark::workbook {
namespace {

// Sheets written as names, a hidden one with a leading '*'.
std::vector<SheetEntry> sheetsOf(const std::vector<std::string>& names)
{
    std::vector<SheetEntry> sheets;
    for (const std::string& name : names) {
        if (name.starts_with('*'))
            sheets.push_back({name.substr(1), true});
        else
            sheets.push_back({name, false});
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

struct PairingCase {
    const char* name;
    std::vector<std::string> left;
    std::vector<std::string> right;
    const char* expected;
};

class SheetPairingTest : public ::testing::TestWithParam<PairingCase> {};

TEST_P(SheetPairingTest, PairsAsExpected)
{
    const PairingCase& testCase = GetParam();
    EXPECT_EQ(pairingText(pairSheets(sheetsOf(testCase.left), sheetsOf(testCase.right))), testCase.expected);
}

const PairingCase pairingCases[] = {
    {"SameNamesInAnotherOrder",
     {"Jan", "Feb", "Mar"},
     {"Mar", "Jan", "Feb"},
     "[Jan] = [Jan]\n[Feb] = [Feb]\n[Mar] = [Mar]\nA only:\nB only:\n"},
    {"CaseAndSurroundingSpaces",
     {"Sheet1", "Totals"},
     {" sheet1 ", "TOTALS\t"},
     "[Sheet1] ~ [ sheet1 ]\n[Totals] ~ [TOTALS\t]\nA only:\nB only:\n"},
    {"InnerSpacesStillCount", {"Q 1", "X"}, {"Q1", "Y", "Z"}, "A only: [Q 1] [X]\nB only: [Q1] [Y] [Z]\n"},
    {"ExactNameWinsOverCaseless",
     {"data", "Data"},
     {"Data", "DATA"},
     "[data] ~ [DATA]\n[Data] = [Data]\nA only:\nB only:\n"},
    {"DuplicatesUnderCaseFoldingPairFirstWithFirst",
     {"DATA", "Data", "dAtA"},
     {"data", "DaTa"},
     "[DATA] ~ [data]\n[Data] ~ [DaTa]\nA only: [dAtA]\nB only:\n"},
    {"UnicodeCase",
     {"ÉTÉ", "ΣΟΦΊΑ", "Straße"},
     {"été", "σοφία", "STRASSE"},
     "[ÉTÉ] ~ [été]\n[ΣΟΦΊΑ] ~ [σοφία]\n[Straße] # [STRASSE]\nA only:\nB only:\n"},
    {"UnicodeCaseWithoutPositionalFallback",
     {"Straße", "Extra"},
     {"STRASSE"},
     "A only: [Straße] [Extra]\nB only: [STRASSE]\n"},
    {"CanonicallyEquivalentNames",
     {"Caf\u00e9"},
     {"Cafe\u0301", "Other"},
     "[Caf\u00e9] = [Cafe\u0301]\nA only:\nB only: [Other]\n"},
    {"PositionWhenCountsLeftAreEqual",
     {"Jan", "Summary", "Feb"},
     {"Summary", "Enero", "Febrero"},
     "[Jan] # [Enero]\n[Summary] = [Summary]\n[Feb] # [Febrero]\nA only:\nB only:\n"},
    {"NoPositionWhenCountsLeftDiffer",
     {"Jan", "Feb"},
     {"Enero", "Febrero", "Marzo"},
     "A only: [Jan] [Feb]\nB only: [Enero] [Febrero] [Marzo]\n"},
    {"OneSheetEachPairsByPosition", {"Sheet1"}, {"Export"}, "[Sheet1] # [Export]\nA only:\nB only:\n"},
    {"LeftEmpty", {}, {"A", "B"}, "A only:\nB only: [A] [B]\n"},
    {"RightEmpty", {"A"}, {}, "A only: [A]\nB only:\n"},
    {"BothEmpty", {}, {}, "A only:\nB only:\n"},
    {"HiddenSheetsKeepTheirMark",
     {"*Lookup", "Data"},
     {"lookup", "*Data"},
     "[*Lookup] ~ [lookup]\n[Data] = [*Data]\nA only:\nB only:\n"},
    {"OrderOfFileA", {"C", "b", "A"}, {"a", "B", "c"}, "[C] ~ [c]\n[b] ~ [B]\n[A] ~ [a]\nA only:\nB only:\n"},
    {"EmptyNameMatchesOnlyBlanks", {"", "X"}, {"  ", "Y", "Z"}, "[] ~ [  ]\nA only: [X]\nB only: [Y] [Z]\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SheetPairingTest, ::testing::ValuesIn(pairingCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rowlark::workbook
