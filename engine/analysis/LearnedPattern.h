#pragma once

// One manual mapping choice teaches a header pattern (an added leading word such as billing, a
// dropped one, or a changed entity prefix), which then re-maps every other column that was not
// chosen by hand to the right column following the same pattern.

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/records/Mapping.h"
#include "engine/records/UUID.h"
#include "engine/table/Table.h"

namespace rowlark::analysis {

struct LearnedPatternResult {
    std::vector<records::ColumnMapping> mappings;
    // How many mappings other than the chosen one the pattern gave a different right column.
    std::int64_t filled = 0;
};

// Records the user's choice of `selectedRightIndex` (absent: no column) for the mapping with id
// `anchorID` and applies the pattern learned from it.
LearnedPatternResult applyLearnedPattern(const table::Table& left, const table::Table& right,
                                         std::vector<records::ColumnMapping> mappings, const records::UUID& anchorID,
                                         std::optional<std::int64_t> selectedRightIndex);

}  // namespace rowlark::analysis
