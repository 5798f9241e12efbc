#include "tests/model/ModelTesting.h"

namespace rowlark::testing {
namespace {

class RuleModelTest : public ModelTest {
protected:
    // An export and the CSV file pandas wrote from it: every change is a spelling, but one price.
    void loadRewrittenFiles()
    {
        model.load(writeFile("export.csv", "sku,rate,price\nA,1.65%,9100.30\nB,2.10%,7.00\nC,0.50%,1.25\n"), true);
        waitUntilIdle();
        model.load(writeFile("pandas.csv", "sku,rate,price\nA,0.0165,9100.3\nB,0.021,7.0\nC,0.005,1.5\n"), false);
        waitUntilIdle();
        keyOnly(0);
    }

    const records::ColumnMapping& mappingOf(std::int64_t leftIndex) const { return model.mappings()[leftIndex]; }
};

TEST_F(RuleModelTest, aRuleIsAMappingEditThatDropsTheResult)
{
    loadRewrittenFiles();
    ASSERT_EQ(mappingOf(1).proposedRule, values::ComparisonRule::of(values::RuleKind::number));
    compareLoaded();
    forgetAnnouncements();
    const values::ComparisonRule number = values::ComparisonRule::fromText("number:abs=0.01");
    model.setRule(mappingOf(1).id, number);
    EXPECT_EQ(mappingOf(1).rule, number);
    EXPECT_FALSE(model.summary());
    EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping);
    EXPECT_EQ(announced("mappingChanged"), 1);

    forgetAnnouncements();
    model.setRule(mappingOf(1).id, number);
    model.setRule(mappingOf(0).id, values::ComparisonRule::of(values::RuleKind::ignore));
    model.setRule(records::UUID::random(), number);
    EXPECT_EQ(announced("mappingChanged"), 0) << "the same rule, an ignored key or an unknown mapping change nothing";
    EXPECT_EQ(mappingOf(0).rule, values::ComparisonRule());
}

TEST_F(RuleModelTest, comparingWithTheProposedRulesLeavesTheRealChangesAlone)
{
    loadRewrittenFiles();
    compareLoaded();
    const records::ComparisonSummary& before = *model.summary();
    ASSERT_EQ(before.columns.size(), 3u);
    EXPECT_EQ(before.columns[1].changedRecords, 3);
    EXPECT_EQ(before.columns[1].formatOnlyRecords, 3);
    EXPECT_EQ(before.columns[2].changedRecords, 3);
    EXPECT_EQ(before.columns[2].formatOnlyRecords, 2);

    model.compareTakingProposedRules({1});
    waitUntilIdle();
    ASSERT_TRUE(model.summary());
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
    EXPECT_EQ(mappingOf(1).rule.kind, values::RuleKind::number);
    EXPECT_EQ(mappingOf(2).rule.kind, values::RuleKind::asRead);
    EXPECT_EQ(model.summary()->columns[1].changedRecords, 0);
    EXPECT_EQ(model.summary()->columns[2].changedRecords, 3);

    model.compareTakingProposedRules({1, 2});
    waitUntilIdle();
    ASSERT_TRUE(model.summary());
    EXPECT_EQ(model.summary()->matchingRows, 2);
    ASSERT_EQ(model.summary()->differences.size(), 1u);
    EXPECT_EQ(model.summary()->differences[0].key, "C");
    EXPECT_EQ(model.summary()->columns[2].formatOnlyRecords, 0);

    forgetAnnouncements();
    model.compareTakingProposedRules({2, 7});
    EXPECT_FALSE(model.isBusy()) << "nothing left to take: no new comparison";
    EXPECT_EQ(announced("mappingChanged"), 0);
}

}  // namespace
}  // namespace rowlark::testing
