#pragma once

// One manual mapping choice teaches a header pattern (an added leading word such as billing, a
// dropped one, or a changed entity prefix), which then re-maps every other column that was not
// chosen by hand to the right column following the same pattern.

#include <cstdint>
#include <optional>
#include <vector>

#include "records/Mapping.h"
#include "records/Uuid.h"
#include "table/CSVTable.h"

namespace rowlark::analysis::CSVComparator {

struct LearnedPatternResult {
    std::vector<records::ColumnMapping> mappings;
    // How many mappings other than the chosen one the pattern gave a different right column.
    std::int64_t filled = 0;
};

// Records the user's choice of `selectedRightIndex` (absent: no column) for the mapping with id
// `anchorID` and applies the pattern learned from it.
LearnedPatternResult applyLearnedPattern(const table::CSVTable& left, const table::CSVTable& right,
                                         std::vector<records::ColumnMapping> mappings, const records::Uuid& anchorID,
                                         std::optional<std::int64_t> selectedRightIndex);

}  // namespace rowlark::analysis::CSVComparator
