#pragma once

// Building tables and mappings for comparison tests, and describing results without their ids.

#include <optional>
#include <string>
#include <vector>

#include "records/Differences.h"
#include "records/Mapping.h"
#include "table/CSVTable.h"

namespace rowlark::testing_support {

using Rows = std::vector<std::vector<std::string>>;

inline ColumnMapping mapping(std::int64_t leftIndex, std::optional<std::int64_t> rightIndex, bool isKey = false,
                             bool isIncluded = true)
{
    return {.id = Uuid::random(),
            .leftIndex = leftIndex,
            .rightIndex = rightIndex,
            .isKey = isKey,
            .isManual = false,
            .isIncluded = isIncluded};
}

inline std::string joined(const std::vector<std::string>& cells)
{
    std::string text;
    for (const auto& cell : cells)
        text += cell + "|";
    return text;
}

// One line per difference with everything but the ids.
inline std::vector<std::string> describe(const ComparisonSummary& summary)
{
    std::vector<std::string> lines;
    for (const RowDifference& difference : summary.differences) {
        std::string line = std::string(rawValue(difference.status)) + " [" + difference.key + "]";
        if (difference.leftRow)
            line += " L:" + joined(*difference.leftRow);
        if (difference.rightRow)
            line += " R:" + joined(*difference.rightRow);
        for (const CellDifference& cell : difference.cells)
            line += " {" + cell.leftHeader + "/" + cell.rightHeader + ": " + cell.leftValue + " -> " + cell.rightValue + "}";
        lines.push_back(line);
    }
    return lines;
}

}  // namespace rowlark::testing_support
