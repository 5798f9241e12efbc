#pragma once

// The distinct keys of the rows of one or two tables, found by hashing: every key gets a number
// and the list of its rows on each side, in file order.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/compare/ComparableColumns.h"

namespace rowlark::compare {

class KeyGroups {
public:
    // Both sides must have the same key positions. Without a second side, its groups are empty.
    // Large tables are grouped by up to `workers` threads (0: one per core).
    KeyGroups(const ComparableColumns& first, const ComparableColumns* second, unsigned workers);

    std::size_t keyCount() const { return keyCount_; }
    // The rows of side 0 or 1 that have key `key`, ascending.
    std::span<const std::uint32_t> rows(std::size_t side, std::size_t key) const
    {
        const auto& offsets = groupOffsets_[side];
        return std::span(groupRows_[side]).subspan(offsets[key], offsets[key + 1] - offsets[key]);
    }
    // The forms of key `key` come from this side and row.
    const ComparableColumns& representativeSide(std::size_t key) const
    {
        return *sides_[sideOf(entry(key).representative)];
    }
    std::size_t representativeRow(std::size_t key) const { return rowOf(entry(key).representative); }

    // The key numbers `keys`, distinct, in ascending lexicographic order of their forms.
    std::vector<std::uint32_t> sortedKeys(std::span<const std::uint32_t> keys, unsigned workers) const;

private:
    // Read together when a row looks for its key. Part of the hash is enough to pass over most
    // other keys without reading their forms.
    struct KeyEntry {
        KeyCode code;
        std::uint32_t hashBits;
        std::uint32_t representative;  // the index of the key's first row
    };
    // The rows one worker numbers. Its keys lie in keys_ from the position of its first row among
    // all partitions' rows, and are numbered from firstKey on.
    struct Partition {
        std::size_t firstRow = 0;
        std::size_t rowCount = 0;
        std::size_t keyCount = 0;
        std::size_t firstKey = 0;
    };

    // Rows are indexed across both sides, the first side's rows first.
    std::size_t sideOf(std::size_t index) const { return index >= sides_[0]->rowCount() ? 1 : 0; }
    std::size_t rowOf(std::size_t index) const { return index - sideOf(index) * sides_[0]->rowCount(); }
    std::size_t partitionOf(std::size_t index) const;
    const KeyEntry& entry(std::size_t key) const;

    // The key number of every row within its partition.
    std::unique_ptr<std::uint32_t[]> numberKeys(unsigned workers);
    void numberPartition(std::size_t partitionIndex, Partition& partition, std::uint32_t* keyOfRow);
    bool hasKey(const KeyEntry& entry, std::size_t hash, const ComparableColumns& forms, std::size_t row) const;
    void collectGroups(std::uint32_t* keyOfRow, unsigned workers);

    const ComparableColumns* sides_[2];
    int partitionBits_ = 0;
    std::vector<Partition> partitions_;
    std::unique_ptr<KeyEntry[]> keys_;
    std::size_t keyCount_ = 0;
    std::vector<std::uint32_t> groupOffsets_[2];
    std::vector<std::uint32_t> groupRows_[2];
};

}  // namespace rowlark::compare
