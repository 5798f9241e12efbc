#pragma once

// The numbers a workbook stores for its number cells, beside the display texts a table holds: a
// number format may show fewer digits than are stored (General shows 0.333333333 for both
// 0.3333333333 and 0.3333333334) or show a date for a serial. Per column with number cells, a bit
// per row says which cells are numbers, and a value is kept only where the display text is not
// the number's shortest decimal already: "63490" or "0.25" cost the bit alone.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/values/RuleForms.h"

namespace rowlark::table {

class StoredNumbers {
public:
    // The number stored for a cell, none for a cell that is not a number cell.
    std::optional<values::StoredNumber> at(std::size_t row, std::size_t column, std::string_view text) const;
    bool hasNumberCells(std::size_t column) const
    {
        return column < columns_.size() && !columns_[column].isNumber.empty();
    }
    bool isDate1904() const { return isDate1904_; }
    std::size_t memoryUsage() const;

private:
    friend class StoredNumbersBuilder;

    struct Column {
        std::vector<std::uint64_t> isNumber;      // a bit per row
        std::vector<std::uint64_t> isStored;      // a bit per row: its value is kept
        std::vector<std::uint32_t> storedBefore;  // per word of isStored: values kept for earlier rows
        std::vector<double> values;
    };

    std::vector<Column> columns_;
    bool isDate1904_ = false;
};

// Takes the number cells of a table column by column or row by row, each row at most once per
// column and rows of a column in ascending order.
class StoredNumbersBuilder {
public:
    StoredNumbersBuilder(std::size_t width, bool isDate1904);

    // A number cell at (row, column) showing `text`.
    void add(std::size_t row, std::size_t column, double value, std::string_view text);
    StoredNumbers build() &&;

private:
    StoredNumbers numbers_;
};

}  // namespace rowlark::table
