#pragma once

// The result of one comparison: every changed, only-left and only-right record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/UUID.h"
#include "engine/values/ComparisonRule.h"

namespace rowlark::records {

enum class DiffStatus { changed, onlyLeft, onlyRight };

// "Changed", "Only in File A", "Only in File B".
std::string_view title(DiffStatus status);

// One differing field of a changed record; values are the cells as read.
struct CellDifference {
    UUID id;
    std::string leftHeader;
    std::string rightHeader;
    std::string leftValue;
    std::string rightValue;
    std::size_t column = 0;  // its compared column: a position in ComparisonSummary::columns
    // Whether the column's rule read each value (as a number, date, ...); a value it could not read
    // was compared as read. Always true under "As read".
    bool isLeftValueRead = true;
    bool isRightValueRead = true;
};

// What joins the parts of a key made of several columns, in record keys and key names alike.
inline constexpr std::string_view keySeparator = " \u2022 ";

// One differing record, identified by `id`.
struct RowDifference {
    UUID id;
    std::string key;  // comparable forms of the key columns joined with keySeparator
    DiffStatus status = DiffStatus::changed;
    std::optional<std::vector<std::string>> leftRow;   // absent for onlyRight
    std::optional<std::vector<std::string>> rightRow;  // absent for onlyLeft
    std::vector<CellDifference> cells;                 // in mapping order; empty unless changed
};

// How a column is named to the user: its header, or "Unnamed column N" (N counted from 1) when the
// header is empty, so that no notice or list shows a blank name.
std::string columnName(std::string_view header, std::int64_t index);

// One compared column pair, and in how many changed records its values differ.
struct ColumnChanges {
    std::int64_t leftIndex = 0;
    std::int64_t rightIndex = 0;
    std::string leftHeader;
    std::string rightHeader;
    std::int64_t changedRecords = 0;
    values::ComparisonRule rule{};  // how the pair was compared
    // The rule the analysis proposed for the pair, and in how many of the changed records the
    // difference in this column disappears under it: values written differently, not changed.
    std::optional<values::ComparisonRule> proposedRule{};
    std::int64_t formatOnlyRecords = 0;

    bool operator==(const ColumnChanges&) const = default;
};

struct ComparisonSummary {
    std::vector<RowDifference> differences;
    std::int64_t matchingRows = 0;
    std::int64_t leftRows = 0;
    std::int64_t rightRows = 0;
    std::int64_t ambiguousDuplicateKeyGroups = 0;
    std::vector<ColumnChanges> columns;  // every compared column pair, in mapping order
    // The names (columnName) of the columns in one file only: File A columns without a File B
    // column, and File B columns that no mapping names, each in column order.
    std::vector<std::string> leftOnlyColumns;
    std::vector<std::string> rightOnlyColumns;
};

// The positions in `summary.columns` of the columns with changes, the most changed first; columns
// changed equally often keep their mapping order.
std::vector<std::size_t> columnsByChanges(const ComparisonSummary& summary);

}  // namespace rowlark::records
