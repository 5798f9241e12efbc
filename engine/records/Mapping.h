#pragma once

// The column mapping and its scored alternatives.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/records/UUID.h"
#include "engine/values/ComparisonRule.h"

namespace rowlark::records {

// One scored candidate right column for one left column.
struct HeaderSuggestion {
    std::int64_t rightIndex = 0;
    double score = 0;  // 0 to 1
    std::string reason;

    bool operator==(const HeaderSuggestion&) const = default;
};

// One row of the mapping, one per left column, in left column order.
struct ColumnMapping {
    UUID id;
    std::int64_t leftIndex = 0;
    std::optional<std::int64_t> rightIndex;
    bool isKey = false;
    bool isManual = false;
    bool isIncluded = false;
    // How the pair's values are compared; "As read" unless the user chose otherwise.
    values::ComparisonRule rule{};
    // The rule the analysis proposes from both columns' values, applied only when the user takes it.
    std::optional<values::ComparisonRule> proposedRule{};

    bool operator==(const ColumnMapping&) const = default;
};

struct MappingAnalysisResult {
    std::vector<ColumnMapping> mappings;
    // Entry i holds the ranked candidates for left column i.
    std::vector<std::vector<HeaderSuggestion>> suggestions;

    bool operator==(const MappingAnalysisResult&) const = default;
};

}  // namespace rowlark::records
