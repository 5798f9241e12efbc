#include "engine/table/CellStore.h"

#include <cassert>
#include <utility>

namespace rowlark::table {

CellStore::CellStore(std::string text, CellBounds bounds, std::size_t width, JSONLookingColumns jsonLookingColumns,
                     CodedColumns coded)
    : text_(std::move(text))
    , bounds_(std::move(bounds))
    , codes_(std::move(coded.codes))
    , width_(width)
    , textWidth_(width - coded.columns.size())
    , codedWidth_(coded.columns.size())
    , rowCount_(textWidth_ != 0 ? (bounds_.size() - 1) / textWidth_
                                : (codedWidth_ != 0 ? codes_.size() / codedWidth_ : 0))
    , jsonLookingColumns_(std::move(jsonLookingColumns))
{
    assert(!bounds_.empty() && bounds_[0] == 0 && bounds_.back() == text_.size());
    assert(bounds_.size() - 1 == rowCount_ * textWidth_ && codes_.size() == rowCount_ * codedWidth_);
    assert(coded.dictionaries.size() == codedWidth_ && jsonLookingColumns_.width() == width);
    places_.reserve(width);
    for (std::size_t column = 0, codedIndex = 0; column < width; ++column) {
        const bool isCoded = codedIndex < codedWidth_ && coded.columns[codedIndex] == column;
        const std::size_t index = isCoded ? codedIndex++ : column - codedIndex;
        places_.push_back({static_cast<std::uint32_t>(index), isCoded});
    }
    codedTexts_.reserve(codedWidth_);
    for (TextDictionary& dictionary : coded.dictionaries)
        codedTexts_.push_back(std::move(dictionary).finish());
}

std::size_t CellStore::memoryUsage() const
{
    std::size_t bytes = text_.size() + bounds_.memoryUsage() + codes_.memoryUsage() + storedNumbers_.memoryUsage();
    for (const DictionaryTexts& texts : codedTexts_)
        bytes += texts.storage.capacity() + texts.byCode.capacity() * sizeof(std::string_view) +
                 texts.overflowText.size() + texts.overflowEnds.memoryUsage();
    return bytes;
}

CellStoreBuilder::CellStoreBuilder(std::size_t width, std::size_t expectedRows, std::size_t expectedBytes)
    : width_(width)
    , jsonLookingColumns_(width)
{
    text_.reserve(expectedBytes);
    bounds_.reserve(expectedRows * width + 1);
    bounds_.push_back(0);
}

CellStore CellStoreBuilder::build() &&
{
    text_.shrink_to_fit();
    bounds_.shrinkToFit();
    return CellStore(std::move(text_), std::move(bounds_), width_, std::move(jsonLookingColumns_));
}

}  // namespace rowlark::table
