#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/records/ResultFilter.h"
#include "engine/records/UUID.h"

#include <gtest/gtest.h>

#include <regex>
#include <unordered_set>

namespace rowlark::records {
namespace {

TEST(UUID, IsRandomVersionFourInCanonicalForm)
{
    const std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::unordered_set<UUID> seen;
    for (int i = 0; i < 10000; ++i) {
        const UUID uuid = UUID::random();
        ASSERT_TRUE(std::regex_match(uuid.toString(), form)) << uuid.toString();
        ASSERT_TRUE(seen.insert(uuid).second);
    }
    EXPECT_TRUE(UUID().isNil());
    EXPECT_EQ(UUID().toString(), "00000000-0000-0000-0000-000000000000");
}

TEST(DiffStatus, TitlesAreTheReportsStatusTexts)
{
    EXPECT_EQ(title(DiffStatus::changed), "Changed");
    EXPECT_EQ(title(DiffStatus::onlyLeft), "Only in File A");
    EXPECT_EQ(title(DiffStatus::onlyRight), "Only in File B");
}

}  // namespace
}  // namespace rowlark::records
