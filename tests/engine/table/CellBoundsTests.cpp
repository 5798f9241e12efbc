#include "table/CellBounds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace rowlark::table {
namespace {

// Offsets past 4 GB, in steps of one high part and of several at once, read back exactly.
TEST(CellBounds, OffsetsPastFourGigabytesReadBackExactly)
{
    constexpr std::uint64_t gigabytes4 = std::uint64_t{1} << 32;
    const std::vector<std::uint64_t> offsets{0,
                                             7,
                                             gigabytes4 - 1,
                                             gigabytes4,
                                             gigabytes4,
                                             gigabytes4 + 5,
                                             3 * gigabytes4 + 2,
                                             3 * gigabytes4 + 2,
                                             5 * gigabytes4};
    CellBounds bounds;
    for (const std::uint64_t offset : offsets)
        bounds.push_back(offset);
    bounds.append(3, 5 * gigabytes4 + 9);
    ASSERT_EQ(bounds.size(), offsets.size() + 3);
    for (std::size_t i = 0; i < offsets.size(); ++i)
        EXPECT_EQ(bounds[i], offsets[i]) << i;
    for (std::size_t i = offsets.size(); i < bounds.size(); ++i)
        EXPECT_EQ(bounds[i], 5 * gigabytes4 + 9) << i;
    EXPECT_EQ(bounds.back(), 5 * gigabytes4 + 9);
}

}  // namespace
}  // namespace rowlark::table
