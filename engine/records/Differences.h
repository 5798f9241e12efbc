#pragma once

// The result of one comparison: every changed, only-left and only-right record.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/Uuid.h"

namespace rowlark::records {

enum class DiffStatus { changed, onlyLeft, onlyRight };

// "Changed", "Only in File A", "Only in File B".
std::string_view title(DiffStatus status);

// One differing field of a changed record; values are the cells as read.
struct CellDifference {
    Uuid id;
    std::string leftHeader;
    std::string rightHeader;
    std::string leftValue;
    std::string rightValue;
};

// One differing record, identified by `id`.
struct RowDifference {
    Uuid id;
    std::string key;  // comparable forms of the key columns joined with " • "
    DiffStatus status = DiffStatus::changed;
    std::optional<std::vector<std::string>> leftRow;   // absent for onlyRight
    std::optional<std::vector<std::string>> rightRow;  // absent for onlyLeft
    std::vector<CellDifference> cells;                 // in mapping order; empty unless changed
};

struct ComparisonSummary {
    std::vector<RowDifference> differences;
    std::int64_t matchingRows = 0;
    std::int64_t leftRows = 0;
    std::int64_t rightRows = 0;
    std::int64_t ambiguousDuplicateKeyGroups = 0;
};

}  // namespace rowlark::records
