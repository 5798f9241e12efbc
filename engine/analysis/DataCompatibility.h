#pragma once

// The data half of suggestion scoring: how many sample values two columns share, and how alike
// their kinds and uniqueness are.

#include <cstddef>

#include "engine/analysis/ColumnProfile.h"

namespace rowlark::analysis {

struct DataCompatibility {
    double overlap = 0;  // shared values over the smaller value set
    double shape = 0;    // kinds and uniqueness, 0 to 1
};

DataCompatibility dataCompatibility(const ColumnProfile& left, const ColumnProfile& right);

// The same, when the number of values the two profiles share is already known.
DataCompatibility dataCompatibility(const ColumnProfile& left, const ColumnProfile& right,
                                    std::size_t sharedValueCount);

// How many values the two profiles share.
std::size_t sharedValueCount(const ColumnProfile& left, const ColumnProfile& right);

}  // namespace rowlark::analysis
