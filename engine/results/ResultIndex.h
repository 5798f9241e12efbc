#pragma once

// The precomputed index of one comparison result, for filtering, search and paging.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "records/ResultFilter.h"

namespace rowlark {

struct ResultIndex {
    // One lower-cased search text per difference, in the order of the differences.
    std::vector<std::string> searchable;
    // Ascending positions of the differences each filter selects; a missing filter selects none.
    std::unordered_map<ResultFilter, std::vector<std::size_t>> groups;

    const std::vector<std::size_t>& positions(ResultFilter filter) const;
};

}  // namespace rowlark
