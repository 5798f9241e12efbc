#pragma once

// Cell text of a table kept in one buffer with offsets, rows of a fixed width, row-major.
// A store is immutable once built and shared between table copies.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table/CellBounds.h"
#include "text/JSON.h"

namespace rowlark::table {

class CellStore {
public:
    // `hasJSONLookingCells` holds, per column, whether some cell of it looks like a JSON object.
    CellStore(std::string text, CellBounds bounds, std::size_t width, std::vector<bool> hasJSONLookingCells);

    std::size_t width() const { return width_; }
    std::size_t rowCount() const { return rowCount_; }
    std::string_view cell(std::size_t row, std::size_t column) const
    {
        const std::size_t index = row * width_ + column;
        const std::uint64_t start = bounds_[index];
        return {text_.data() + start, static_cast<std::size_t>(bounds_[index + 1] - start)};
    }
    // Whether some cell of the column looks like a JSON object (text::looksLikeJSONObject): only
    // such columns need reading when structured columns are sought.
    bool hasCellsLookingLikeJSON(std::size_t column) const { return hasJSONLookingCells_[column]; }
    // Asks for the cache lines that say where the cell lies in the text, ahead of reading it.
    void prefetchPlace(std::size_t row, std::size_t column) const { bounds_.prefetch(row * width_ + column); }
    std::size_t memoryUsage() const { return text_.capacity() + bounds_.memoryUsage(); }

private:
    std::string text_;
    CellBounds bounds_;  // cell i spans [bounds_[i], bounds_[i + 1])
    std::size_t width_;
    std::size_t rowCount_;
    std::vector<bool> hasJSONLookingCells_;
};

// Appends cells row by row; every row must end with exactly `width` cells.
class CellStoreBuilder {
public:
    explicit CellStoreBuilder(std::size_t width, std::size_t expectedRows = 0, std::size_t expectedBytes = 0);

    void appendCell(std::string_view cell)
    {
        if (text::looksLikeJSONObject(cell))
            hasJSONLookingCells_[column_] = true;
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
    std::vector<bool> hasJSONLookingCells_;
};

}  // namespace rowlark::table
