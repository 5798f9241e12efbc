// Applying a setup over a fresh analysis: each case of tests/data/setups/drift holds two tables,
// a setup, every notice applying it gives, the mapping that results and, where a case has one,
// the results view (letter case, filter, search, column). Below them, taking a setup from a
// comparison and the fallback of a sheet that is gone.

#include "engine/setups/SetupApplication.h"

#include <gtest/gtest.h>

#include "engine/analysis/MappingAnalysis.h"
#include "engine/workbook/ImportError.h"
#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::setups {
namespace {

namespace fs = std::filesystem;

std::string named(const std::vector<std::string>& headers, std::optional<std::int64_t> index)
{
    if (!index)
        return "none";
    const ColumnName name = columnName(headers, *index);
    return name.header + (name.occurrence > 1 ? "#" + std::to_string(name.occurrence) : "");
}

std::string describe(const table::Table& left, const table::Table& right,
                     const std::vector<records::ColumnMapping>& mappings)
{
    std::string text;
    for (const records::ColumnMapping& mapping : mappings) {
        text += named(left.headers(), mapping.leftIndex) + " -> " + named(right.headers(), mapping.rightIndex);
        text += mapping.isKey ? " key" : "";
        text += mapping.isIncluded ? "" : " excluded";
        text += mapping.isManual ? " manual" : "";
        text += mapping.rule.kind == values::RuleKind::asRead ? "" : " rule " + mapping.rule.text();
        text += "\n";
    }
    return text;
}

std::vector<fs::path> driftCases()
{
    std::vector<fs::path> cases;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(ROWLARK_TEST_DATA_FOLDER) / "setups/drift"))
        cases.push_back(entry.path());
    std::ranges::sort(cases);
    return cases;
}

class DriftCase : public ::testing::TestWithParam<fs::path> {};

TEST_P(DriftCase, GivesItsNoticesAndMapping)
{
    auto parts = testing_support::sections(GetParam());
    const auto lines = [](const std::vector<std::string>& list) {
        std::string text;
        for (const std::string& line : list)
            text += line + "\n";
        return text;
    };
    const table::Table left = table::Table::parse(lines(parts["left"])).expandingStructuredColumns();
    const table::Table right = table::Table::parse(lines(parts["right"])).expandingStructuredColumns();
    const AppliedSetup applied =
        apply(parse(lines(parts["setup"])), left, right, analysis::analyzeMappings(left, right).mappings);
    EXPECT_EQ(applied.notices, parts["notices"]);
    EXPECT_EQ(describe(left, right, applied.mappings), lines(parts["mapping"]));
    EXPECT_EQ(applied.isKeyApplied, !parts.contains("key not applied"));
    if (parts.contains("view")) {
        constexpr std::string_view filters[] = {"all", "changed", "onlyLeft", "onlyRight", "emptyValues"};
        EXPECT_EQ((applied.ignoreCase ? "ignore case, " : "letter case, ") +
                      std::string(filters[static_cast<int>(applied.filter)]) + ", search \"" + applied.search +
                      "\", column " + named(left.headers(), applied.changedColumn) + "\n",
                  lines(parts["view"]));
    }
}

INSTANTIATE_TEST_SUITE_P(Setups, DriftCase, ::testing::ValuesIn(driftCases()), [](const auto& info) {
    std::string name = info.param.stem().string();
    std::ranges::replace(name, '-', '_');
    return name;
});

TEST(SetupApplication, ACapturedSetupAppliesWithoutNoticesToTheSameFiles)
{
    const table::Table left = table::Table::parse("id,region,name,name,note\n1,n,a,b,x\n2,s,c,d,y\n");
    const table::Table right = table::Table::parse("ident,region,name,name,remark,extra\n1,n,a,b,x,q\n2,s,c,d,y,r\n");
    std::vector<records::ColumnMapping> edited = analysis::analyzeMappings(left, right).mappings;
    for (records::ColumnMapping& mapping : edited) {
        mapping.isKey = mapping.leftIndex <= 1;
        mapping.isIncluded = mapping.leftIndex != 3;
        mapping.rightIndex = mapping.leftIndex == 4 ? std::optional<std::int64_t>(5) : mapping.rightIndex;
    }
    edited[0].rightIndex = 0;
    edited[2].rule = values::ComparisonRule::fromText("number:abs=0.01");
    edited[4].rule = values::ComparisonRule::fromText("text:case,punct");
    const SetupSources sources{"/work/in/a.csv",
                               "/elsewhere/b.xlsx",
                               std::nullopt,
                               "Data",
                               left.headers(),
                               right.headers(),
                               edited,
                               true,
                               records::ResultFilter::changed,
                               "x",
                               3};
    const setups::Setup setup = capture(sources, "/work/weekly.rowlark");
    EXPECT_EQ(setup.left, (FileEntry{"in/a.csv", std::nullopt}));
    EXPECT_EQ(setup.right, (FileEntry{"/elsewhere/b.xlsx", "Data"}));
    EXPECT_EQ(setup.results.changedColumn, (ColumnName{"name", 2}));
    const AppliedSetup applied =
        apply(parse(text(setup)), left, right, analysis::analyzeMappings(left, right).mappings);
    EXPECT_TRUE(applied.notices.empty());
    // Pairs the setup makes that the proposal did not are manual ones.
    EXPECT_EQ(describe(left, right, applied.mappings),
              "id -> ident key manual\nregion -> region key\nname -> name rule number:abs=0.01\n"
              "name#2 -> name#2 excluded\nnote -> extra manual rule text:case,punct\n");
    EXPECT_EQ(setup.mappings[2].rule, "number:abs=0.01");
    EXPECT_EQ(setup.mappings[1].rule, std::nullopt) << "as read is the default, not written";
    EXPECT_TRUE(applied.ignoreCase);
    EXPECT_EQ(applied.filter, records::ResultFilter::changed);
    EXPECT_EQ(applied.changedColumn, 3);
}

TEST(SetupSheets, AGoneSheetFallsBackToTheFirstWithANotice)
{
    std::vector<std::optional<std::string>> asked;
    const auto read = [&asked](const std::optional<std::string>& sheet) {
        asked.push_back(sheet);
        if (sheet && *sheet != "Sheet1")
            throw workbook::ImportError::sheetNotFound(*sheet);
        return workbook::ImportedTable{table::Table::parse("a\n1\n"), {{"Sheet1"}, {"Other"}}, "Sheet1", std::nullopt};
    };
    const SideRead renamed = readSide("Orders", "File B", read);
    EXPECT_EQ(renamed.notice, "Setup: sheet \u201COrders\u201D is not in File B; its first sheet, \u201CSheet1\u201D, "
                              "is compared");
    EXPECT_EQ(renamed.imported.sheet, "Sheet1");
    EXPECT_EQ(asked, (std::vector<std::optional<std::string>>{"Orders", std::nullopt}));
    EXPECT_FALSE(readSide("Sheet1", "File A", read).notice);
    EXPECT_FALSE(readSide(std::nullopt, "File A", read).notice);
    const auto failing = [](const std::optional<std::string>&) -> workbook::ImportedTable {
        throw workbook::ImportError::emptyWorksheet();
    };
    EXPECT_THROW(readSide("Orders", "File A", failing), workbook::ImportError);
}

}  // namespace
}  // namespace rowlark::setups
