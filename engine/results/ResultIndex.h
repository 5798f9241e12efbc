#pragma once

// The precomputed index of one comparison result, for filtering, search and paging.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/records/Differences.h"
#include "engine/records/ResultFilter.h"

namespace rowlark::results {

struct ResultIndex {
    // One lower-cased search text per difference, in the order of the differences.
    std::vector<std::string> searchable;
    // Ascending positions of the differences each filter selects; a missing filter selects none.
    std::unordered_map<records::ResultFilter, std::vector<std::size_t>> groups;
    // Per compared column (as ComparisonSummary::columns lists them), the ascending positions of the
    // changed records that differ in it.
    std::vector<std::vector<std::size_t>> columnGroups;

    ResultIndex() = default;
    explicit ResultIndex(const records::ComparisonSummary& summary);

    const std::vector<std::size_t>& positions(records::ResultFilter filter) const;

    // Ascending positions of the differences the filter selects whose search text contains the
    // trimmed, lower-cased query; a blank query selects the whole group. With `changedColumn`, only
    // the changed records that differ in that compared column.
    std::vector<std::size_t> matching(records::ResultFilter filter, std::string_view query,
                                      std::optional<std::size_t> changedColumn = std::nullopt) const;

    // Page `number` (0-based) of `size` positions; empty when the page lies outside the list.
    static std::vector<std::size_t> page(std::span<const std::size_t> indices, std::int64_t number, std::int64_t size);
};

}  // namespace rowlark::results
