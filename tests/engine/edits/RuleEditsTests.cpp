#include "engine/edits/MappingEdits.h"

#include <gtest/gtest.h>

#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::edits {
namespace {

using testing_support::mapping;

const values::ComparisonRule number = values::ComparisonRule::of(values::RuleKind::number);
const values::ComparisonRule ignore = values::ComparisonRule::of(values::RuleKind::ignore);

TEST(RuleEdits, aKeyColumnIsNeverIgnored)
{
    std::vector<records::ColumnMapping> mappings = {mapping(0, 0, true), mapping(1, 1)};
    EXPECT_FALSE(MappingEdits::setRule(mappings, mappings[0].id, ignore));
    EXPECT_EQ(mappings[0].rule, values::ComparisonRule());
    EXPECT_TRUE(MappingEdits::setRule(mappings, mappings[0].id, number));
    EXPECT_EQ(mappings[0].rule, number);
    EXPECT_TRUE(MappingEdits::setRule(mappings, mappings[1].id, ignore));
    EXPECT_FALSE(MappingEdits::setRule(mappings, records::UUID::random(), number));

    // Making an ignored column part of the key compares it as read again.
    EXPECT_TRUE(MappingEdits::setKey(mappings, mappings[1].id, true));
    EXPECT_EQ(mappings[1].rule, values::ComparisonRule());
    EXPECT_TRUE(mappings[1].isIncluded);
}

TEST(RuleEdits, proposedRulesAreTakenWhereThereAreAny)
{
    std::vector<records::ColumnMapping> mappings = {mapping(0, 0, true), mapping(1, 1), mapping(2, 2),
                                                    mapping(3, std::nullopt)};
    mappings[1].proposedRule = number;
    mappings[2].proposedRule = values::ComparisonRule::of(values::RuleKind::date);
    mappings[2].rule = values::ComparisonRule::fromText("text:case");
    EXPECT_EQ(MappingEdits::takeProposedRules(mappings, {1}), 1u);
    EXPECT_EQ(mappings[1].rule, number);
    EXPECT_EQ(mappings[2].rule, values::ComparisonRule::fromText("text:case")) << "only the columns named";
    EXPECT_EQ(MappingEdits::takeProposedRules(mappings, {}), 1u) << "every column, the one taken already aside";
    EXPECT_EQ(mappings[2].rule.kind, values::RuleKind::date);
    EXPECT_EQ(mappings[0].rule, values::ComparisonRule());
    EXPECT_EQ(MappingEdits::takeProposedRules(mappings, {}), 0u);
}

}  // namespace
}  // namespace rowlark::edits
