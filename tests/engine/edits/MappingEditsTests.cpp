#include "engine/edits/MappingEdits.h"

#include <gtest/gtest.h>

#include "tests/engine/compare/ComparisonTestSupport.h"

namespace rowlark::edits {
namespace {

using testing_support::mapping;

// Left: id, data (a JSON-object column), name. Right: id, data (JSON objects), note.
struct JSONTables {
    table::Table left = table::Table::parse("id,data,name\n1,\"{\"\"a\"\": 1}\",x\n").expandingStructuredColumns();
    table::Table right = table::Table::parse("id,data,note\n1,\"{\"\"a\"\": 1}\",y\n").expandingStructuredColumns();
};

TEST(ManualChoice, JSONObjectColumnsPairOnlyWithEachOther)
{
    const JSONTables tables;
    ASSERT_TRUE(tables.left.structuredColumnIndices().contains(1));
    ASSERT_TRUE(tables.right.structuredColumnIndices().contains(1));
    EXPECT_TRUE(MappingEdits::canPair(tables.left, tables.right, 1, 1));
    EXPECT_TRUE(MappingEdits::canPair(tables.left, tables.right, 0, 0));
    EXPECT_FALSE(MappingEdits::canPair(tables.left, tables.right, 1, 0));
    EXPECT_FALSE(MappingEdits::canPair(tables.left, tables.right, 0, 1));
}

TEST(ManualChoice, RefusesAMixedPairOrAnUnknownMappingButAcceptsNoColumn)
{
    const JSONTables tables;
    const std::vector<records::ColumnMapping> mappings = {mapping(0, 0, true), mapping(1, 1), mapping(2, std::nullopt)};
    EXPECT_FALSE(MappingEdits::chooseRightColumn(tables.left, tables.right, mappings, mappings[1].id, 2));
    EXPECT_FALSE(MappingEdits::chooseRightColumn(tables.left, tables.right, mappings, mappings[2].id, 1));
    EXPECT_FALSE(MappingEdits::chooseRightColumn(tables.left, tables.right, mappings, records::UUID::random(), 2));
    const auto unmapped =
        MappingEdits::chooseRightColumn(tables.left, tables.right, mappings, mappings[1].id, std::nullopt);
    ASSERT_TRUE(unmapped);
    EXPECT_FALSE(unmapped->mappings[1].rightIndex);
    EXPECT_TRUE(unmapped->mappings[1].isManual);
    EXPECT_FALSE(unmapped->mappings[1].isIncluded);
}

TEST(ManualChoice, LearnedPatternFillsRelatedColumns)
{
    const table::Table left = table::Table::fromRows({"City", "State", "Zip"}, {});
    const table::Table right =
        table::Table::fromRows({"Billing City", "Billing State", "Billing Zip", "Shipping City"}, {});
    const std::vector<records::ColumnMapping> mappings = {mapping(0, std::nullopt), mapping(1, std::nullopt),
                                                          mapping(2, std::nullopt)};
    const auto chosen = MappingEdits::chooseRightColumn(left, right, mappings, mappings[0].id, 0);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->filled, 2);
    EXPECT_EQ(chosen->mappings[1].rightIndex, 1);
    EXPECT_EQ(chosen->mappings[2].rightIndex, 2);
    EXPECT_EQ(MappingEdits::choiceNotice(chosen->filled),
              "Applied this header pattern to 2 related columns. Review the suggestions before comparing.");
    EXPECT_EQ(MappingEdits::choiceNotice(1),
              "Applied this header pattern to 1 related column. Review the suggestions before comparing.");
    EXPECT_EQ(MappingEdits::choiceNotice(0), "Mapping updated.");
    EXPECT_EQ(MappingEdits::choiceNotice(-1), "Mapping updated.");
}

TEST(KeyEdit, NeedsARightColumnAndIncludesTheKey)
{
    std::vector<records::ColumnMapping> mappings = {mapping(0, std::nullopt), mapping(1, 3)};
    mappings[1].isIncluded = false;
    const std::vector<records::ColumnMapping> before = mappings;
    EXPECT_FALSE(MappingEdits::setKey(mappings, mappings[0].id, true));
    EXPECT_FALSE(MappingEdits::setKey(mappings, records::UUID::random(), true));
    EXPECT_EQ(mappings, before);
    EXPECT_TRUE(MappingEdits::setKey(mappings, mappings[1].id, true));
    EXPECT_TRUE(mappings[1].isKey);
    EXPECT_TRUE(mappings[1].isIncluded);
    EXPECT_TRUE(MappingEdits::setKey(mappings, mappings[1].id, false));
    EXPECT_FALSE(mappings[1].isKey);
    EXPECT_TRUE(mappings[1].isIncluded);
}

TEST(InclusionEdit, KeyColumnsStayIncluded)
{
    std::vector<records::ColumnMapping> mappings = {mapping(0, 0, true), mapping(1, 1)};
    EXPECT_FALSE(MappingEdits::setIncluded(mappings, mappings[0].id, false));
    EXPECT_TRUE(mappings[0].isIncluded);
    EXPECT_TRUE(MappingEdits::setIncluded(mappings, mappings[1].id, false));
    EXPECT_FALSE(mappings[1].isIncluded);
    EXPECT_FALSE(MappingEdits::setIncluded(mappings, records::UUID::random(), false));
}

}  // namespace
}  // namespace rowlark::edits
