#pragma once

// How many sample values each left column shares with each right column. All values are sorted
// together once, so the cost follows the number of values that actually recur rather than the
// number of column pairs times the set sizes.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/ColumnProfile.h"

namespace rowlark::analysis::CSVComparator {

class SharedValueTable {
public:
    SharedValueTable(const std::vector<ColumnProfile>& left, const std::vector<ColumnProfile>& right);

    // One count per right column. Pairs whose overlap is disregarded anyway (boolean columns,
    // fewer than five values) count 0.
    std::span<const std::uint32_t> row(std::size_t leftColumn) const;

private:
    // One sample value of one column.
    struct Entry {
        std::size_t hash;
        std::string_view value;
        std::uint32_t column;
        bool isRight;
    };

    static void addEntries(std::vector<Entry>& entries, const std::vector<ColumnProfile>& profiles, bool isRight);
    void countShared(std::vector<Entry>::const_iterator start, std::vector<Entry>::const_iterator end);

    std::size_t rightCount_;
    std::vector<std::uint32_t> counts_;
};

}  // namespace rowlark::analysis::CSVComparator
