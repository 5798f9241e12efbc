#include "records/Differences.h"
#include "records/Mapping.h"
#include "records/ResultFilter.h"
#include "records/Uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <unordered_set>

namespace rowlark {
namespace {

TEST(Uuid, IsRandomVersionFourInCanonicalForm)
{
    const std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::unordered_set<Uuid> seen;
    for (int i = 0; i < 10000; ++i) {
        const Uuid uuid = Uuid::random();
        ASSERT_TRUE(std::regex_match(uuid.toString(), form)) << uuid.toString();
        ASSERT_TRUE(seen.insert(uuid).second);
    }
    EXPECT_TRUE(Uuid().isNil());
    EXPECT_EQ(Uuid().toString(), "00000000-0000-0000-0000-000000000000");
}

TEST(ColumnMapping, EveryFieldTakesPartInEqualityAndHashing)
{
    const ColumnMapping base{Uuid::random(), 2, 5, true, false, true};
    ColumnMapping manual = base;
    manual.isManual = true;
    EXPECT_NE(base, manual);
    ColumnMapping unmapped = base;
    unmapped.rightIndex.reset();
    EXPECT_NE(base, unmapped);
    EXPECT_EQ(base, ColumnMapping(base));
    EXPECT_EQ(std::hash<ColumnMapping>{}(base), std::hash<ColumnMapping>{}(ColumnMapping(base)));
    EXPECT_NE(std::hash<ColumnMapping>{}(base), std::hash<ColumnMapping>{}(manual));
}

TEST(DiffStatus, RawValuesAreTheTitles)
{
    EXPECT_EQ(rawValue(DiffStatus::changed), "Changed");
    EXPECT_EQ(rawValue(DiffStatus::onlyLeft), "Only in File A");
    EXPECT_EQ(rawValue(DiffStatus::onlyRight), "Only in File B");
    for (const DiffStatus status : {DiffStatus::changed, DiffStatus::onlyLeft, DiffStatus::onlyRight})
        EXPECT_EQ(diffStatusFromRawValue(rawValue(status)), status);
    EXPECT_EQ(diffStatusFromRawValue("changed"), std::nullopt);
}

TEST(ResultFilter, RawValuesBuildBackExactly)
{
    for (const ResultFilter filter : allResultFilters)
        EXPECT_EQ(resultFilterFromRawValue(rawValue(filter)), filter);
    EXPECT_EQ(resultFilterFromRawValue("changed"), ResultFilter::changed);
    EXPECT_EQ(resultFilterFromRawValue("Changed"), std::nullopt);
    EXPECT_EQ(resultFilterFromRawValue(""), std::nullopt);
}

}  // namespace
}  // namespace rowlark
