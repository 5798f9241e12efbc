#include "engine/analysis/RuleProposal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/analysis/LearnedPattern.h"
#include "engine/analysis/MappingAnalysis.h"

namespace rowlark::analysis {
namespace {

table::Table column(const std::vector<std::string>& cells)
{
    std::vector<std::vector<std::string>> rows;
    for (const std::string& cell : cells)
        rows.push_back({cell});
    return table::Table::fromRows({"value"}, rows);
}

std::string proposal(const std::vector<std::string>& left, const std::vector<std::string>& right)
{
    const auto rule = proposedRule(valueShape(column(left), 0), valueShape(column(right), 0));
    return rule ? rule->text() : "none";
}

TEST(RuleProposal, proposesWhatEveryValueOfBothColumnsReadsAs)
{
    EXPECT_EQ(proposal({"1.65%", "2.10%"}, {"0.0165", "0.021"}), "number");
    EXPECT_EQ(proposal({"5.970,56", "1,5", ""}, {"5970.56", "NULL", "1.5"}), "number")
        << "empty values and the spellings of one do not count";
    EXPECT_EQ(proposal({"63490", "12"}, {"63490.0", "12.0"}), "number");
    EXPECT_EQ(proposal({"2024-03-05T12:00:00"}, {"2024-03-05 12:00:00"}), "datetime");
    EXPECT_EQ(proposal({"2024-03-05"}, {"05.03.2024", "3/5/2024"}), "date")
        << "an undecided day order still reads as dates, to be chosen";
    EXPECT_EQ(proposal({"2024-03-05"}, {"2024-03-05 00:00"}), "datetime");
    EXPECT_EQ(proposal({"Yes", "no"}, {"1", "0"}), "yesno");
    EXPECT_EQ(proposal({"1", "0"}, {"1", "0"}), "number") << "numbers before yes/no";
    EXPECT_EQ(proposal({"1.5", "x"}, {"1.5"}), "none");
    EXPECT_EQ(proposal({"1.5"}, {"2024-03-05"}), "none");
    EXPECT_EQ(proposal({"", "n/a"}, {"1"}), "none") << "a column without values proposes nothing";
    EXPECT_EQ(proposal({"ann@x.org"}, {"ann@x.org"}), "none");
}

TEST(RuleProposal, theAnalysisProposesForMappedPairsAndAManualChoiceProposesAnew)
{
    const auto left = table::Table::fromRows({"id", "price", "when"}, {{"1", "9.50", "2024-03-05"}, {"2", "3", "x"}});
    const auto right = table::Table::fromRows({"id", "price", "when", "cost"},
                                              {{"1", "9.5", "2024-03-05", "1,50 €"}, {"2", "3.0", "2024-03-06", "2"}});
    const records::MappingAnalysisResult result = analyzeMappings(left, right);
    ASSERT_EQ(result.mappings.size(), 3u);
    ASSERT_EQ(result.mappings[1].rightIndex, 1);
    EXPECT_EQ(result.mappings[1].proposedRule, values::ComparisonRule::of(values::RuleKind::number));
    EXPECT_EQ(result.mappings[2].proposedRule, std::nullopt);
    EXPECT_EQ(result.mappings[1].rule, values::ComparisonRule()) << "a proposal is not applied by itself";

    const LearnedPatternResult unmapped =
        applyLearnedPattern(left, right, result.mappings, result.mappings[1].id, std::nullopt);
    EXPECT_EQ(unmapped.mappings[1].proposedRule, std::nullopt);
    const LearnedPatternResult remapped = applyLearnedPattern(left, right, unmapped.mappings, result.mappings[1].id, 3);
    EXPECT_EQ(remapped.mappings[1].proposedRule, values::ComparisonRule::of(values::RuleKind::number));
}

}  // namespace
}  // namespace rowlark::analysis
