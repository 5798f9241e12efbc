#include "engine/compare/KeyGroups.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <thread>

#include "engine/table/Parallel.h"
#include "engine/table/Prefetch.h"

namespace rowlark::compare {
namespace {

// Below this many keys a second sorting thread costs more than it saves.
constexpr std::size_t parallelSortThreshold = 1 << 14;
// Below this many rows one worker numbers every key.
constexpr std::size_t parallelNumberingThreshold = 1 << 14;
constexpr unsigned mostPartitions = 16;

unsigned partitionCountFor(std::size_t rows, unsigned workers)
{
    if (rows < parallelNumberingThreshold)
        return 1;
    return std::bit_floor(std::min(workers == 0 ? table::defaultWorkerCount() : workers, mostPartitions));
}

}  // namespace

KeyGroups::KeyGroups(const ComparableColumns& first, const ComparableColumns* second, unsigned workers)
    : sides_{&first, second}
{
    const std::size_t total = first.rowCount() + (second ? second->rowCount() : 0);
    if (total >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("The files have too many rows to compare.");
    collectGroups(numberKeys(workers).get(), workers);
}

std::size_t KeyGroups::partitionOf(std::size_t index) const
{
    if (partitionBits_ == 0)
        return 0;
    const KeyCode& code = sides_[sideOf(index)]->keyCode(rowOf(index));
    std::uint64_t mixed = code.high + code.low * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 31)) * 0x94D049BB133111EBULL;
    return static_cast<std::size_t>(mixed >> (std::numeric_limits<std::uint64_t>::digits - partitionBits_));
}

const KeyGroups::KeyEntry& KeyGroups::entry(std::size_t key) const
{
    const auto partition = std::ranges::upper_bound(partitions_, key, {}, &Partition::firstKey) - 1;
    return keys_[partition->firstRow + (key - partition->firstKey)];
}

// Equal keys have equal codes, so each partition of the rows holds every row of its keys and is
// numbered on its own, by one worker. Partition p writes its keys from the position of its first
// row among all partitions' rows, and they stay there: only the pages that keys reach are ever
// touched, and no key moves.
std::unique_ptr<std::uint32_t[]> KeyGroups::numberKeys(unsigned workers)
{
    const std::size_t total = sides_[0]->rowCount() + (sides_[1] ? sides_[1]->rowCount() : 0);
    const unsigned partitionCount = partitionCountFor(total, workers);
    partitionBits_ = std::countr_zero(partitionCount);
    partitions_.resize(partitionCount);
    if (partitionCount == 1)
        partitions_[0].rowCount = total;
    else
        for (std::size_t index = 0; index < total; ++index)
            ++partitions_[partitionOf(index)].rowCount;
    for (std::size_t p = 1; p < partitionCount; ++p)
        partitions_[p].firstRow = partitions_[p - 1].firstRow + partitions_[p - 1].rowCount;

    keys_ = std::make_unique_for_overwrite<KeyEntry[]>(total);
    auto keyOfRow = std::make_unique_for_overwrite<std::uint32_t[]>(total);
    table::runInParallel(partitionCount, workers,
                         [&](std::size_t p) { numberPartition(p, partitions_[p], keyOfRow.get()); });
    for (Partition& partition : partitions_) {
        partition.firstKey = keyCount_;
        keyCount_ += partition.keyCount;
    }
    return keyOfRow;
}

// Open addressing with linear probing: a slot holds a key number plus one, or 0 when free. Rows
// arrive in file order but their slots and keys lie anywhere, so each row's slot is fetched
// `slotLookahead` rows ahead and the key in it `keyLookahead` rows ahead.
void KeyGroups::numberPartition(std::size_t partitionIndex, Partition& partition, std::uint32_t* keyOfRow)
{
    constexpr std::size_t slotLookahead = 16;
    constexpr std::size_t keyLookahead = 8;
    const std::size_t rowCount = partition.rowCount;
    // At most four keys in five slots, and most comparisons have far fewer keys than rows.
    const std::size_t capacity = std::bit_ceil(rowCount + rowCount / 4 + 16);
    const int shift = std::numeric_limits<std::uint64_t>::digits - std::countr_zero(capacity);
    const auto slots = std::make_unique_for_overwrite<std::uint32_t[]>(capacity);
    std::fill_n(slots.get(), capacity, 0);
    KeyEntry* const keys = keys_.get() + partition.firstRow;
    std::size_t keyCount = 0;
    struct Pending {
        std::size_t index;
        std::size_t hash;
        std::size_t slot;
    };
    std::array<Pending, slotLookahead> pending;
    std::size_t nextIndex = 0;
    // Finds the partition's row at position `ahead` among its rows and asks for its slot.
    const auto look = [&](std::size_t ahead) {
        while (partitionOf(nextIndex) != partitionIndex)
            ++nextIndex;
        const std::size_t index = nextIndex++;
        const std::size_t hash = sides_[sideOf(index)]->keyHash(rowOf(index));
        const auto slot = static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> shift);
        table::prefetch(&slots[slot]);
        pending[ahead % slotLookahead] = {index, hash, slot};
    };
    for (std::size_t ahead = 0; ahead < std::min(rowCount, slotLookahead); ++ahead)
        look(ahead);
    for (std::size_t position = 0; position < rowCount; ++position) {
        if (position + keyLookahead < rowCount) {
            const std::uint32_t ahead = slots[pending[(position + keyLookahead) % slotLookahead].slot];
            if (ahead != 0)
                table::prefetch(&keys[ahead - 1]);
        }
        const auto [index, hash, firstSlot] = pending[position % slotLookahead];
        if (position + slotLookahead < rowCount)
            look(position + slotLookahead);
        const ComparableColumns& forms = *sides_[sideOf(index)];
        const std::size_t row = rowOf(index);
        std::size_t slot = firstSlot;
        for (;; slot = (slot + 1) & (capacity - 1)) {
            if (slots[slot] == 0) {
                slots[slot] = static_cast<std::uint32_t>(keyCount + 1);
                keys[keyCount++] = {forms.keyCode(row), static_cast<std::uint32_t>(hash),
                                    static_cast<std::uint32_t>(index)};
                break;
            }
            if (hasKey(keys[slots[slot] - 1], hash, forms, row))
                break;
        }
        keyOfRow[index] = slots[slot] - 1;
    }
    partition.keyCount = keyCount;
}

bool KeyGroups::hasKey(const KeyEntry& entry, std::size_t hash, const ComparableColumns& forms, std::size_t row) const
{
    if (entry.hashBits != static_cast<std::uint32_t>(hash) || entry.code != forms.keyCode(row))
        return false;
    return entry.code.isComplete() ||
           equalKeys(*sides_[sideOf(entry.representative)], rowOf(entry.representative), forms, row);
}

// Counting sort of the rows by key number keeps each group in file order. The counting pass also
// turns each row's number within its partition into its key number. Each offset starts as the
// end of its group and, as the rows are placed from the last one back, steps down to its start.
// The two sides are sorted at once.
void KeyGroups::collectGroups(std::uint32_t* keyOfRow, unsigned workers)
{
    table::runInParallel(2, workers, [&](std::size_t side) {
        const std::size_t rowCount = sides_[side] ? sides_[side]->rowCount() : 0;
        const std::size_t firstIndex = side == 0 ? 0 : sides_[0]->rowCount();
        const std::span sideKeys(keyOfRow + firstIndex, rowCount);
        auto& offsets = groupOffsets_[side];
        offsets.assign(keyCount() + 1, 0);
        for (std::size_t row = 0; row < rowCount; ++row) {
            sideKeys[row] += static_cast<std::uint32_t>(partitions_[partitionOf(firstIndex + row)].firstKey);
            ++offsets[sideKeys[row]];
        }
        std::partial_sum(offsets.begin(), offsets.end(), offsets.begin());
        auto& rows = groupRows_[side];
        rows.resize(rowCount);
        for (std::size_t row = rowCount; row-- > 0;)
            rows[--offsets[sideKeys[row]]] = static_cast<std::uint32_t>(row);
    });
}

std::vector<std::uint32_t> KeyGroups::sortedKeys(std::span<const std::uint32_t> keys, unsigned workers) const
{
    struct SortEntry {
        KeyCode code;
        std::uint32_t key;
    };
    const auto buffer = std::make_unique_for_overwrite<SortEntry[]>(keys.size());
    const std::span entries(buffer.get(), keys.size());
    for (std::size_t index = 0; index < keys.size(); ++index)
        entries[index] = {entry(keys[index]).code, keys[index]};
    const auto before = [&](const SortEntry& a, const SortEntry& b) {
        if (a.code != b.code)
            return a.code < b.code;
        return compareKeys(representativeSide(a.key), representativeRow(a.key), representativeSide(b.key),
                           representativeRow(b.key)) < 0;
    };
    // Keys are distinct, so the order is total and the same however the work is split. The halves
    // merge straight into the key order, without a second buffer of entries.
    const bool isSplit = workers != 1 && entries.size() >= parallelSortThreshold;
    const auto middle = entries.begin() + static_cast<std::ptrdiff_t>(isSplit ? entries.size() / 2 : entries.size());
    if (isSplit) {
        std::jthread firstHalf([&] { std::sort(entries.begin(), middle, before); });
        std::sort(middle, entries.end(), before);
    } else {
        std::sort(entries.begin(), entries.end(), before);
    }
    std::vector<std::uint32_t> order;
    order.reserve(entries.size());
    auto first = entries.begin();
    auto second = middle;
    while (first != middle || second != entries.end()) {
        const bool takeSecond = first == middle || (second != entries.end() && before(*second, *first));
        order.push_back((takeSecond ? second++ : first++)->key);
    }
    return order;
}

}  // namespace rowlark::compare
