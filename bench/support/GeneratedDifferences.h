#pragma once

// Differences of generated order records for the report benchmarks, 10 columns each side: 60%
// changed in two columns (City and Status), 20% only in File A, 20% only in File B.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/records/Differences.h"

namespace rowlark::bench {

std::vector<std::string> orderHeaders();

records::ComparisonSummary generatedDifferences(std::size_t count);

}  // namespace rowlark::bench
