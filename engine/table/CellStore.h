#pragma once

// Cell text of a table kept in one buffer with offsets, rows of a fixed width, row-major. Columns
// of few distinct values may instead keep a code per cell into a dictionary of their texts. A
// store is immutable once built and shared between table copies.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/table/CellBounds.h"
#include "engine/table/CellCodes.h"
#include "engine/table/StoredNumbers.h"
#include "engine/table/TextDictionary.h"
#include "engine/text/JSON.h"

namespace rowlark::table {

// Per column, whether some cell of it looks like a JSON object (text::looksLikeJSONObject): only
// such columns need reading when structured columns are sought. Noted as the cells arrive.
class JSONLookingColumns {
public:
    explicit JSONLookingColumns(std::size_t width = 0)
        : flags_(width)
    {
    }
    void note(std::size_t column, std::string_view cell)
    {
        if (text::looksLikeJSONObject(cell))
            flags_[column] = true;
    }
    bool has(std::size_t column) const { return flags_[column]; }
    std::size_t width() const { return flags_.size(); }

private:
    std::vector<bool> flags_;
};

// The columns of a store kept as codes.
// A column whose first rows repeat a few texts keeps a code per cell instead of its text. The
// readers that store cells as they arrive sample this many rows before they choose.
inline constexpr std::size_t codingSampleRows = 4096;
inline constexpr std::size_t notCoded = static_cast<std::size_t>(-1);

struct CodedColumns {
    std::vector<std::size_t> columns;          // ascending
    std::vector<TextDictionary> dictionaries;  // one per column of `columns`
    CellCodes codes;                           // row by row, one per column of `columns`

    // Codes the columns whose `rows` sampled rows hold few distinct texts, `cellText(row, column)`
    // giving each cell; `indices[column]` becomes the column's index into `columns`, or stays
    // notCoded.
    template<typename CellText>
    void choose(std::size_t width, std::size_t rows, const CellText& cellText, std::vector<std::size_t>& indices)
    {
        constexpr std::size_t mostSampledTexts = codingSampleRows / 32;
        for (std::size_t column = 0; column < width; ++column) {
            std::unordered_set<std::string_view> texts;
            for (std::size_t row = 0; row < rows && texts.size() <= mostSampledTexts; ++row)
                texts.insert(cellText(row, column));
            if (texts.size() <= mostSampledTexts) {
                indices[column] = columns.size();
                columns.push_back(column);
            }
        }
        dictionaries.resize(columns.size());
    }

    // Appends the code of the next cell of coded column `coded` (an index into `columns`);
    // whether its text is new to the column (or past its dictionary), so worth looking at.
    bool append(std::size_t coded, std::string_view text)
    {
        TextDictionary& dictionary = dictionaries[coded];
        const std::size_t known = dictionary.size();
        const std::uint32_t code = dictionary.codeOf(text);
        codes.push_back(code);
        return code == known || code >= overflowMark;
    }
};

class CellStore {
public:
    // `text` and `bounds` hold the cells of the columns that `coded` does not, row by row.
    CellStore(std::string text, CellBounds bounds, std::size_t width, JSONLookingColumns jsonLookingColumns,
              CodedColumns coded = {});

    std::size_t width() const { return width_; }
    std::size_t rowCount() const { return rowCount_; }
    std::string_view cell(std::size_t row, std::size_t column) const
    {
        const Place place = places_[column];
        if (place.isCoded)
            return codedTexts_[place.index].text(codes_[row * codedWidth_ + place.index]);
        const std::size_t index = row * textWidth_ + place.index;
        const std::uint64_t start = bounds_[index];
        return {text_.data() + start, static_cast<std::size_t>(bounds_[index + 1] - start)};
    }
    bool hasCellsLookingLikeJSON(std::size_t column) const { return jsonLookingColumns_.has(column); }
    // The numbers a workbook stored for its number cells, when the store was read from one.
    const StoredNumbers& storedNumbers() const { return storedNumbers_; }
    void attachStoredNumbers(StoredNumbers numbers) { storedNumbers_ = std::move(numbers); }
    // Asks for the cache lines that say where the cell lies, and for the codes of its row, ahead of
    // reading them.
    void prefetchPlace(std::size_t row, std::size_t column) const
    {
        if (codedWidth_ != 0)
            codes_.prefetch(row * codedWidth_);
        const Place place = places_[column];
        if (!place.isCoded)
            bounds_.prefetch(row * textWidth_ + place.index);
    }
    std::size_t memoryUsage() const;

private:
    // Where the cells of a column are: its position among the columns kept as text, or among the
    // coded ones.
    struct Place {
        std::uint32_t index;
        bool isCoded;
    };

    std::string text_;
    CellBounds bounds_;                        // text cell i spans [bounds_[i], bounds_[i + 1])
    CellCodes codes_;                          // row by row, one per coded column
    std::vector<DictionaryTexts> codedTexts_;  // per coded column
    std::vector<Place> places_;
    std::size_t width_;
    std::size_t textWidth_;
    std::size_t codedWidth_;
    std::size_t rowCount_;
    JSONLookingColumns jsonLookingColumns_;
    StoredNumbers storedNumbers_;
};

// Appends cells row by row; every row must end with exactly `width` cells.
class CellStoreBuilder {
public:
    explicit CellStoreBuilder(std::size_t width, std::size_t expectedRows = 0, std::size_t expectedBytes = 0);

    void appendCell(std::string_view cell)
    {
        jsonLookingColumns_.note(column_, cell);
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
    JSONLookingColumns jsonLookingColumns_;
};

}  // namespace rowlark::table
