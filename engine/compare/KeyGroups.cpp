#include "compare/KeyGroups.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <thread>

namespace rowlark::CSVComparator {
namespace {

// Below this many keys a second sorting thread costs more than it saves.
constexpr std::size_t parallelSortThreshold = 1 << 14;

}  // namespace

KeyGroups::KeyGroups(const ComparableColumns& first, const ComparableColumns* second) : sides_{&first, second}
{
    const std::size_t total = first.rowCount() + (second ? second->rowCount() : 0);
    if (total >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("The files have too many rows to compare.");
    collectGroups(numberKeys());
}

// Open addressing with linear probing: a slot holds a key number plus one, or 0 when free. The
// key number of every row, the first side's rows first.
std::vector<std::uint32_t> KeyGroups::numberKeys()
{
    const std::size_t total = sides_[0]->rowCount() + (sides_[1] ? sides_[1]->rowCount() : 0);
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, total * 2));
    const int shift = std::numeric_limits<std::uint64_t>::digits - std::countr_zero(capacity);
    std::vector<std::uint32_t> slots(capacity, 0);
    std::vector<std::uint32_t> keyOfRow;
    keyOfRow.reserve(total);
    for (std::uint32_t side = 0; side < 2 && sides_[side]; ++side) {
        const ComparableColumns& forms = *sides_[side];
        for (std::size_t row = 0; row < forms.rowCount(); ++row) {
            const std::size_t hash = forms.keyHash(row);
            std::size_t slot = static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> shift);
            for (;; slot = (slot + 1) & (capacity - 1)) {
                if (slots[slot] == 0) {
                    slots[slot] = static_cast<std::uint32_t>(hashes_.size() + 1);
                    hashes_.push_back(hash);
                    representatives_.push_back({side, static_cast<std::uint32_t>(row)});
                    break;
                }
                const std::uint32_t key = slots[slot] - 1;
                if (hashes_[key] == hash && equalForms(representativeSide(key), representativeRow(key), forms, row,
                                                       forms.keyPositions()))
                    break;
            }
            keyOfRow.push_back(slots[slot] - 1);
        }
    }
    return keyOfRow;
}

// Counting sort of the rows by key number keeps each group in file order.
void KeyGroups::collectGroups(const std::vector<std::uint32_t>& keyOfRow)
{
    std::size_t firstRow = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        const std::size_t rowCount = sides_[side] ? sides_[side]->rowCount() : 0;
        const auto sideKeys = std::span(keyOfRow).subspan(firstRow, rowCount);
        auto& offsets = groupOffsets_[side];
        offsets.assign(keyCount() + 1, 0);
        for (const std::uint32_t key : sideKeys)
            ++offsets[key + 1];
        std::partial_sum(offsets.begin(), offsets.end(), offsets.begin());
        std::vector<std::uint32_t> next(offsets.begin(), offsets.end() - 1);
        auto& rows = groupRows_[side];
        rows.resize(rowCount);
        for (std::size_t row = 0; row < rowCount; ++row)
            rows[next[sideKeys[row]]++] = static_cast<std::uint32_t>(row);
        firstRow += rowCount;
    }
}

std::vector<std::uint32_t> KeyGroups::sortedKeys(unsigned workers) const
{
    std::vector<std::uint32_t> order(keyCount());
    std::iota(order.begin(), order.end(), 0u);
    const auto before = [&](std::uint32_t a, std::uint32_t b) {
        return compareForms(representativeSide(a), representativeRow(a), representativeSide(b), representativeRow(b),
                            sides_[0]->keyPositions()) < 0;
    };
    // Keys are distinct, so the order is total and the same however the work is split.
    if (workers == 1 || order.size() < parallelSortThreshold) {
        std::sort(order.begin(), order.end(), before);
        return order;
    }
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(order.size() / 2);
    {
        std::jthread firstHalf([&] { std::sort(order.begin(), middle, before); });
        std::sort(middle, order.end(), before);
    }
    std::inplace_merge(order.begin(), middle, order.end(), before);
    return order;
}

}  // namespace rowlark::CSVComparator
