#include "engine/table/CellBounds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
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

// Runs of short cells, cells of 64 KB and more anywhere in a group of offsets, empty cells and
// steps past 4 GB, checked against the plain offsets at every index.
TEST(CellBounds, RandomOffsetsReadBackExactly)
{
    std::mt19937_64 random(20261207);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint64_t> offsets;
        CellBounds bounds;
        std::uint64_t offset = round % 3 == 0 ? (std::uint64_t{1} << 32) - 70000 : 0;
        const std::size_t count = random() % 100;
        for (std::size_t i = 0; i < count; ++i) {
            switch (random() % 6) {
            case 0:
                offset += 0xFFFE + random() % 3;
                break;
            case 1:
                offset += random() % 200000;
                break;
            case 2:
                break;
            default:
                offset += random() % 40;
                break;
            }
            offsets.push_back(offset);
            bounds.push_back(offset);
        }
        ASSERT_EQ(bounds.size(), offsets.size());
        for (std::size_t i = 0; i < offsets.size(); ++i)
            ASSERT_EQ(bounds[i], offsets[i]) << "round " << round << ", index " << i;
    }
}

}  // namespace
}  // namespace rowlark::table
