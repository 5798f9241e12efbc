#include "compare/KeyGroups.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <thread>

#include "compare/LargeBuffer.h"
#include "compare/Prefetch.h"

namespace rowlark::compare::CSVComparator {
namespace {

// Below this many keys a second sorting thread costs more than it saves.
constexpr std::size_t parallelSortThreshold = 1 << 14;

}  // namespace

KeyGroups::KeyGroups(const ComparableColumns& first, const ComparableColumns* second)
    : sides_{&first, second}
{
    const std::size_t total = first.rowCount() + (second ? second->rowCount() : 0);
    if (total >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("The files have too many rows to compare.");
    collectGroups(numberKeys());
}

// Open addressing with linear probing: a slot holds a key number plus one, or 0 when free. The
// key number of every row, the first side's rows first. Rows arrive in file order but their
// slots and keys lie anywhere, so each row's slot is fetched `slotLookahead` rows ahead and the
// key in it `keyLookahead` rows ahead.
std::vector<std::uint32_t> KeyGroups::numberKeys()
{
    constexpr std::size_t slotLookahead = 16;
    constexpr std::size_t keyLookahead = 8;
    const std::size_t leftRows = sides_[0]->rowCount();
    const std::size_t total = leftRows + (sides_[1] ? sides_[1]->rowCount() : 0);
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, total * 2));
    const int shift = std::numeric_limits<std::uint64_t>::digits - std::countr_zero(capacity);
    const auto slots = largeBuffer<std::uint32_t>(capacity);
    std::fill_n(slots.get(), capacity, 0);
    std::vector<std::uint32_t> keyOfRow;
    keyOfRow.reserve(total);
    table::adviseHugePages(keyOfRow.data(), total * sizeof(std::uint32_t));
    // Only the pages that keys reach are ever touched.
    keys_.reserve(total);
    table::adviseHugePages(keys_.data(), total * sizeof(KeyEntry));
    const auto sideOf = [&](std::size_t index) { return static_cast<std::uint32_t>(index >= leftRows); };
    const auto rowOf = [&](std::size_t index) { return index >= leftRows ? index - leftRows : index; };
    struct Pending {
        std::size_t hash;
        std::size_t slot;
    };
    std::array<Pending, slotLookahead> pending;
    const auto look = [&](std::size_t index) {
        const std::size_t hash = sides_[sideOf(index)]->keyHash(rowOf(index));
        const auto slot = static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> shift);
        prefetch(&slots[slot]);
        pending[index % slotLookahead] = {hash, slot};
    };
    for (std::size_t index = 0; index < std::min(total, slotLookahead); ++index)
        look(index);
    for (std::size_t index = 0; index < total; ++index) {
        if (index + keyLookahead < total) {
            const std::uint32_t ahead = slots[pending[(index + keyLookahead) % slotLookahead].slot];
            if (ahead != 0)
                prefetch(&keys_[ahead - 1]);
        }
        const auto [hash, firstSlot] = pending[index % slotLookahead];
        if (index + slotLookahead < total)
            look(index + slotLookahead);
        const std::uint32_t side = sideOf(index);
        const std::size_t row = rowOf(index);
        const ComparableColumns& forms = *sides_[side];
        std::size_t slot = firstSlot;
        for (;; slot = (slot + 1) & (capacity - 1)) {
            if (slots[slot] == 0) {
                slots[slot] = static_cast<std::uint32_t>(keys_.size() + 1);
                keys_.push_back({forms.keyCode(row), hash, {side, static_cast<std::uint32_t>(row)}});
                break;
            }
            if (hasKey(keys_[slots[slot] - 1], hash, forms, row))
                break;
        }
        keyOfRow.push_back(slots[slot] - 1);
    }
    return keyOfRow;
}

bool KeyGroups::hasKey(const KeyEntry& entry, std::size_t hash, const ComparableColumns& forms, std::size_t row) const
{
    if (entry.hash != hash || entry.code != forms.keyCode(row))
        return false;
    return entry.code.isComplete() ||
           equalForms(*sides_[entry.representative.side], entry.representative.row, forms, row, forms.keyPositions());
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
    struct SortEntry {
        KeyCode code;
        std::uint32_t key;
    };
    const auto buffer = largeBuffer<SortEntry>(keyCount());
    const std::span entries(buffer.get(), keyCount());
    for (std::uint32_t key = 0; key < entries.size(); ++key)
        entries[key] = {keys_[key].code, key};
    const auto before = [&](const SortEntry& a, const SortEntry& b) {
        if (a.code != b.code)
            return a.code < b.code;
        return compareForms(representativeSide(a.key), representativeRow(a.key), representativeSide(b.key),
                            representativeRow(b.key), sides_[0]->keyPositions()) < 0;
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

}  // namespace rowlark::compare::CSVComparator
