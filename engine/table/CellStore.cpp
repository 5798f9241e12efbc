#include "table/CellStore.h"

#include <cassert>
#include <utility>

namespace rowlark::table {

CellStore::CellStore(std::string text, CellBounds bounds, std::size_t width, std::vector<bool> hasJSONLookingCells)
    : text_(std::move(text))
    , bounds_(std::move(bounds))
    , width_(width)
    , rowCount_(width == 0 ? 0 : (bounds_.size() - 1) / width)
    , hasJSONLookingCells_(std::move(hasJSONLookingCells))
{
    assert(!bounds_.empty() && bounds_[0] == 0 && bounds_.back() == text_.size());
    assert(width == 0 || (bounds_.size() - 1) % width == 0);
    assert(hasJSONLookingCells_.size() == width);
}

CellStoreBuilder::CellStoreBuilder(std::size_t width, std::size_t expectedRows, std::size_t expectedBytes)
    : width_(width)
    , hasJSONLookingCells_(width)
{
    text_.reserve(expectedBytes);
    bounds_.reserve(expectedRows * width + 1);
    bounds_.push_back(0);
}

CellStore CellStoreBuilder::build() &&
{
    text_.shrink_to_fit();
    bounds_.shrinkToFit();
    return CellStore(std::move(text_), std::move(bounds_), width_, std::move(hasJSONLookingCells_));
}

}  // namespace rowlark::table
