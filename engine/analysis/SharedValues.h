#pragma once

// How many sample values a left column shares with each right column. The right columns' values
// are indexed once; a left column then looks up only its own values, so the cost follows the
// values that actually recur rather than the number of column pairs times the set sizes.

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/analysis/ColumnProfile.h"

namespace rowlark::analysis {

class SharedValueIndex {
public:
    // `checkpoint` is called for every column; it stops the work by throwing.
    explicit SharedValueIndex(
        const std::vector<ColumnProfile>& right, const std::function<void()>& checkpoint = [] {});

    std::size_t rightColumnCount() const { return rightColumnCount_; }
    // The right columns holding `value`, in column order.
    const std::vector<std::uint32_t>* columnsHolding(std::string_view value) const;

private:
    std::size_t rightColumnCount_;
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> columns_;
};

// The shared-value counts of one left column at a time, one per right column; scratch that one
// thread reuses from column to column.
class SharedValueCounts {
public:
    explicit SharedValueCounts(const SharedValueIndex& index);

    // Pairs whose overlap is disregarded anyway (boolean columns, fewer than five values) count 0.
    void countFor(const ColumnProfile& left);
    std::uint32_t operator[](std::size_t rightColumn) const { return counts_[rightColumn]; }

private:
    const SharedValueIndex& index_;
    std::vector<std::uint32_t> counts_;
    std::vector<std::uint32_t> touched_;
};

// Whether a column's values take part in overlap at all.
bool takesPartInOverlap(const ColumnProfile& profile);

}  // namespace rowlark::analysis
