#pragma once

// Where the cells of a store begin and end: non-decreasing byte offsets into its text, one more
// than there are cells. Each is kept as its low 32 bits, plus the positions where the high part
// steps up, so that a table of less than 4 GB of text pays four bytes per cell and a larger one
// still reads every offset exactly.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rowlark::table {

class CellBounds {
public:
    // Room for `count` offsets. Pages that are never written cost no memory.
    void reserve(std::size_t count) { low_.reserve(count); }

    void push_back(std::uint64_t bound)
    {
        stepUpTo(bound);
        low_.push_back(static_cast<std::uint32_t>(bound));
    }
    void append(std::size_t count, std::uint64_t bound)
    {
        stepUpTo(bound);
        low_.insert(low_.end(), count, static_cast<std::uint32_t>(bound));
    }

    std::uint64_t operator[](std::size_t index) const
    {
        const std::uint64_t low = low_[index];
        if (steps_.empty())
            return low;
        const auto high =
            static_cast<std::uint64_t>(std::upper_bound(steps_.begin(), steps_.end(), index) - steps_.begin());
        return low | (high << 32);
    }
    std::uint64_t back() const { return (*this)[low_.size() - 1]; }
    // Where offset `index` is kept, for fetching it ahead of use.
    const void* address(std::size_t index) const { return &low_[index]; }
    std::size_t size() const { return low_.size(); }
    bool empty() const { return low_.empty(); }
    void shrinkToFit() { low_.shrink_to_fit(); }
    std::size_t memoryUsage() const
    {
        return low_.capacity() * sizeof(std::uint32_t) + steps_.capacity() * sizeof(std::size_t);
    }

private:
    void stepUpTo(std::uint64_t bound)
    {
        for (; high_ < bound >> 32; ++high_)
            steps_.push_back(low_.size());
    }

    std::vector<std::uint32_t> low_;
    std::vector<std::size_t> steps_;  // the first index of each high part past 0, in order
    std::uint64_t high_ = 0;
};

}  // namespace rowlark::table
