#pragma once

// Where the cells of a store begin and end: non-decreasing byte offsets into its text, one more
// than there are cells. Offsets come in groups of 16: a group keeps the low 32 bits of its first
// offset, and each offset its distance from there in 16 bits, which cells of everyday length
// allow; a group that spans 64 KB or more keeps the low 32 bits of every offset instead. The
// positions where the high 32 bits step up are listed apart, so a table of less than 4 GB of text
// pays about two and a quarter bytes per cell, and a larger one still reads every offset exactly.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/table/Prefetch.h"

namespace rowlark::table {

class CellBounds {
public:
    // Room for `count` offsets. Pages that are never written cost no memory.
    void reserve(std::size_t count)
    {
        distances_.reserve(count);
        firsts_.reserve(count / groupSize + 1);
    }

    void push_back(std::uint64_t bound)
    {
        // Most offsets land in the group of the one before, a short way after its start.
        const std::size_t index = size();
        if (index % groupSize != 0 && bound >> 32 == high_ && bound - groupStart_ <= maximumDistance &&
            !isWide(index / groupSize)) {
            distances_.push_back(static_cast<std::uint16_t>(bound - groupStart_));
            return;
        }
        pushAtEdge(bound);
    }
    void append(std::size_t count, std::uint64_t bound)
    {
        for (std::size_t i = 0; i < count; ++i)
            push_back(bound);
    }

    std::uint64_t operator[](std::size_t index) const
    {
        const std::size_t group = index / groupSize;
        const std::uint32_t low = isWide(group) ? wideLows_[firsts_[group] * groupSize + index % groupSize]
                                                : firsts_[group] + distances_[index];
        if (steps_.empty())
            return low;
        const auto high =
            static_cast<std::uint64_t>(std::upper_bound(steps_.begin(), steps_.end(), index) - steps_.begin());
        return low | (high << 32);
    }
    // Drops every offset, keeping the room reserved.
    void clear();
    std::uint64_t back() const { return (*this)[size() - 1]; }
    std::size_t size() const { return distances_.size(); }
    bool empty() const { return distances_.empty(); }
    void shrinkToFit();
    std::size_t memoryUsage() const
    {
        return distances_.capacity() * sizeof(std::uint16_t) + firsts_.capacity() * sizeof(std::uint32_t) +
               wideLows_.capacity() * sizeof(std::uint32_t) + steps_.capacity() * sizeof(std::size_t);
    }
    // Asks for the cache lines that hold offset `index`, ahead of reading it.
    void prefetch(std::size_t index) const
    {
        table::prefetch(&distances_[index]);
        table::prefetch(&firsts_[index / groupSize]);
    }

private:
    static constexpr std::size_t groupSize = 16;
    // The first distance of a narrow group is 0, so this marks a wide one.
    static constexpr std::uint16_t wideMark = 0xFFFF;

    static constexpr std::uint64_t maximumDistance = std::numeric_limits<std::uint16_t>::max();

    bool isWide(std::size_t group) const { return distances_[group * groupSize] == wideMark; }
    // An offset that starts a group, steps past a multiple of 4 GB, lies too far for 16 bits or
    // joins a wide group.
    void pushAtEdge(std::uint64_t bound);
    void widenLastGroup();

    // Per offset, its distance from the first offset of its group.
    std::vector<std::uint16_t> distances_;
    // Per group, the low 32 bits of its first offset; for a wide group, its number among the wide
    // groups.
    std::vector<std::uint32_t> firsts_;
    // groupSize per wide group: the low 32 bits of its offsets.
    std::vector<std::uint32_t> wideLows_;
    std::vector<std::size_t> steps_;  // the first index of each high part past 0, in order
    std::uint64_t high_ = 0;
    std::uint64_t groupStart_ = 0;  // the first offset of the last group
};

}  // namespace rowlark::table
