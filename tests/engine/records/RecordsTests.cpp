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

TEST(DiffStatus, RawValuesAreTheTitles)
{
    EXPECT_EQ(rawValue(DiffStatus::changed), "Changed");
    EXPECT_EQ(rawValue(DiffStatus::onlyLeft), "Only in File A");
    EXPECT_EQ(rawValue(DiffStatus::onlyRight), "Only in File B");
}

TEST(ResultFilter, TitlesNameTheFilesForOneSidedFilters)
{
    EXPECT_EQ(title(ResultFilter::all, "a.csv", "b.csv"), "All differences");
    EXPECT_EQ(title(ResultFilter::changed, "a.csv", "b.csv"), "Changed rows");
    EXPECT_EQ(title(ResultFilter::onlyLeft, "a.csv", "b.csv"), "Only in a.csv");
    EXPECT_EQ(title(ResultFilter::onlyRight, "a.csv", "b.csv"), "Only in b.csv");
    EXPECT_EQ(title(ResultFilter::emptyValues, "a.csv", "b.csv"), "Empty values");
}

}  // namespace
}  // namespace rowlark
