#pragma once

// The distinct keys of the rows of one or two tables, found by hashing: every key gets a number
// (in order of first appearance, the first table's rows before the second's) and the list of its
// rows on each side, in file order.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compare/ComparableColumns.h"

namespace rowlark::compare::CSVComparator {

class KeyGroups {
public:
    // Both sides must have the same key positions. Without a second side, its groups are empty.
    KeyGroups(const ComparableColumns& first, const ComparableColumns* second);

    std::size_t keyCount() const { return keys_.size(); }
    // The rows of side 0 or 1 that have key `key`, ascending.
    std::span<const std::uint32_t> rows(std::size_t side, std::size_t key) const
    {
        const auto& offsets = groupOffsets_[side];
        return std::span(groupRows_[side]).subspan(offsets[key], offsets[key + 1] - offsets[key]);
    }
    // The forms of key `key` come from this side and row.
    const ComparableColumns& representativeSide(std::size_t key) const
    {
        return *sides_[keys_[key].representative.side];
    }
    std::size_t representativeRow(std::size_t key) const { return keys_[key].representative.row; }

    // The key numbers in ascending lexicographic order of their forms.
    std::vector<std::uint32_t> sortedKeys(unsigned workers) const;

private:
    struct RowReference {
        std::uint32_t side;
        std::uint32_t row;
    };

    std::vector<std::uint32_t> numberKeys();
    void collectGroups(const std::vector<std::uint32_t>& keyOfRow);

    // Read together when a row looks for its key.
    struct KeyEntry {
        KeyCode code;
        std::size_t hash;
        RowReference representative;
    };

    bool hasKey(const KeyEntry& entry, std::size_t hash, const ComparableColumns& forms, std::size_t row) const;

    const ComparableColumns* sides_[2];
    std::vector<KeyEntry> keys_;
    std::vector<std::uint32_t> groupOffsets_[2];
    std::vector<std::uint32_t> groupRows_[2];
};

}  // namespace rowlark::compare::CSVComparator
