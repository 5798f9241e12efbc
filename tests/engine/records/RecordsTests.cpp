#include "records/Differences.h"
#include "records/Mapping.h"
#include "records/ResultFilter.h"
#include "records/Uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <unordered_set>

namespace rowlark::records {
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

TEST(DiffStatus, TitlesAreTheReportsStatusTexts)
{
    EXPECT_EQ(title(DiffStatus::changed), "Changed");
    EXPECT_EQ(title(DiffStatus::onlyLeft), "Only in File A");
    EXPECT_EQ(title(DiffStatus::onlyRight), "Only in File B");
}

}  // namespace
}  // namespace rowlark::records
