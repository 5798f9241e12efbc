#pragma once

// Cell text of a table kept in one buffer with offsets, rows of a fixed width, row-major.
// A store is immutable once built and shared between table copies.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table/CellBounds.h"

namespace rowlark::table {

// True when the cell is empty or its first byte is an ASCII letter or digit, as most cells are. No
// such cell holds JSON, so the columns made of them only need a look at the first byte of each.
inline bool isAlphanumericStart(std::string_view cell)
{
    if (cell.empty())
        return true;
    const auto first = static_cast<unsigned char>(cell.front());
    const auto lower = static_cast<unsigned char>(first | 0x20);
    return (first >= '0' && first <= '9') || (lower >= 'a' && lower <= 'z');
}

class CellStore {
public:
    // `hasOtherStarts` holds, per column, whether some cell of it is not an alphanumeric start.
    CellStore(std::string text, CellBounds bounds, std::size_t width, std::vector<bool> hasOtherStarts);

    std::size_t width() const { return width_; }
    std::size_t rowCount() const { return rowCount_; }
    std::string_view cell(std::size_t row, std::size_t column) const
    {
        const std::size_t index = row * width_ + column;
        const std::uint64_t start = bounds_[index];
        return {text_.data() + start, static_cast<std::size_t>(bounds_[index + 1] - start)};
    }
    // Whether every cell of the column is an alphanumeric start.
    bool hasOnlyAlphanumericStarts(std::size_t column) const { return !hasOtherStarts_[column]; }
    // Asks for the cache lines that say where the cell lies in the text, ahead of reading it.
    void prefetchPlace(std::size_t row, std::size_t column) const { bounds_.prefetch(row * width_ + column); }
    std::size_t memoryUsage() const { return text_.capacity() + bounds_.memoryUsage(); }

private:
    std::string text_;
    CellBounds bounds_;  // cell i spans [bounds_[i], bounds_[i + 1])
    std::size_t width_;
    std::size_t rowCount_;
    std::vector<bool> hasOtherStarts_;
};

// Appends cells row by row; every row must end with exactly `width` cells.
class CellStoreBuilder {
public:
    explicit CellStoreBuilder(std::size_t width, std::size_t expectedRows = 0, std::size_t expectedBytes = 0);

    void appendCell(std::string_view cell)
    {
        if (!isAlphanumericStart(cell))
            hasOtherStarts_[column_] = true;
        column_ = column_ + 1 == width_ ? 0 : column_ + 1;
        text_.append(cell);
        bounds_.push_back(text_.size());
    }
    CellStore build() &&;

private:
    std::string text_;
    CellBounds bounds_;
    std::size_t width_;
    std::size_t column_ = 0;  // of the next cell
    std::vector<bool> hasOtherStarts_;
};

}  // namespace rowlark::table
