#include "engine/workbook/StreamedRows.h"

#include <algorithm>

#include "engine/table/Pages.h"
#include "engine/workbook/FileImport.h"

namespace rowlark::workbook {
namespace {

using table::notCoded;
// Room taken ahead for the text of a cell; pages of it that stay unused cost no memory.
constexpr std::size_t reservedTextBytes = 16;

}  // namespace

StreamedRows::StreamedRows(std::uint32_t firstRow, std::uint32_t firstColumn, std::uint32_t rowCount,
                           std::uint32_t width, std::optional<bool> isDate1904)
    : firstRow_(firstRow)
    , firstColumn_(firstColumn)
    , width_(width)
    , expectedRows_(rowCount - 1)
    , header_(width)
    , codedIndices_(width, notCoded)
    , jsonLookingColumns_(width)
{
    if (isDate1904)
        numbers_.emplace(width_, *isDate1904);
    const std::size_t cells = std::min<std::size_t>(expectedRows_ * width_, FileImport::maximumCells);
    text_.reserve(cells * reservedTextBytes);
    bounds_.reserve(cells + 1);
    bounds_.push_back(0);
}

void StreamedRows::add(std::uint32_t row, std::uint32_t column, std::string_view text, std::optional<double> number)
{
    last_ = {row, column};
    if (row == firstRow_)
        addToHeader(column - firstColumn_, text);
    else
        addToRow(row - firstRow_ - 1, column - firstColumn_, text, number);
}

void StreamedRows::addToHeader(std::size_t column, std::string_view text)
{
    header_[column] = text;
    hasHeaderText_ = hasHeaderText_ || !text.empty();
}

void StreamedRows::addToRow(std::size_t row, std::size_t column, std::string_view text, std::optional<double> number)
{
    if (!text.empty()) {
        if (storedRows_ != row + 1)
            openRow(row);
        fillRowTo(column);
        storeCell(column, text);
        ++rowCells_;
    }
    if (!number || !numbers_)
        return;
    if (storedRows_ == row + 1)
        numbers_->add(row, column, *number, text);
    else
        waitingNumbers_.push_back({row, column, *number});
}

// Begins `row` in the store: the row open so far is filled up, the rows up to this one are
// stored empty, and the numbers waiting in them are kept.
void StreamedRows::openRow(std::size_t row)
{
    if (storedRows_ > 0) {
        fillRowTo(width_);
        noteRowsComplete();
    }
    while (storedRows_ < row) {
        rowCells_ = 0;
        fillRowTo(width_);
        ++storedRows_;
        noteRowsComplete();
    }
    storedRows_ = row + 1;
    rowCells_ = 0;
    if (numbers_) {
        for (const WaitingNumber& number : waitingNumbers_)
            numbers_->add(number.row, number.column, number.value, {});
    }
    waitingNumbers_.clear();
}

void StreamedRows::noteRowsComplete()
{
    if (isSampling_ && storedRows_ == table::codingSampleRows)
        chooseCodedColumns();
}

void StreamedRows::fillRowTo(std::size_t column)
{
    for (; rowCells_ < column; ++rowCells_)
        storeCell(rowCells_, {});
}

void StreamedRows::storeCell(std::size_t column, std::string_view text)
{
    const std::size_t coded = codedIndices_[column];
    if (coded == notCoded) {
        text_.append(text);
        bounds_.push_back(text_.size());
        jsonLookingColumns_.note(column, text);
        return;
    }
    // Only a text new to the column needs looking at.
    if (coded_.append(coded, text))
        jsonLookingColumns_.note(column, text);
}

// Columns whose sampled rows hold few distinct texts are coded from here on, and the sampled
// rows are stored again in that form.
void StreamedRows::chooseCodedColumns()
{
    isSampling_ = false;
    const std::size_t cells = storedRows_ * width_;
    const auto cellText = [this](std::size_t row, std::size_t column) {
        const std::size_t cell = row * width_ + column;
        return std::string_view(text_).substr(bounds_[cell], bounds_[cell + 1] - bounds_[cell]);
    };
    coded_.choose(width_, storedRows_, cellText, codedIndices_);
    if (coded_.columns.empty())
        return;
    coded_.codes.reserve(std::min<std::size_t>(expectedRows_ * coded_.columns.size(), FileImport::maximumCells));
    std::string sampled;
    sampled.swap(text_);
    table::CellBounds sampledBounds;
    std::swap(sampledBounds, bounds_);
    text_.reserve(sampled.capacity());
    bounds_.reserve(std::min<std::size_t>(expectedRows_ * (width_ - coded_.columns.size()), FileImport::maximumCells) +
                    1);
    bounds_.push_back(0);
    for (std::size_t cell = 0; cell < cells; ++cell)
        storeCell(cell % width_,
                  std::string_view(sampled).substr(sampledBounds[cell], sampledBounds[cell + 1] - sampledBounds[cell]));
}

WorkbookPayload StreamedRows::payload(std::vector<SheetEntry> sheets) &&
{
    WorkbookPayload payload;
    payload.sheets = std::move(sheets);
    if (storedRows_ == 0 && !hasHeaderText_)
        return payload;
    if (storedRows_ > 0)
        fillRowTo(width_);
    payload.rowCount = storedRows_ + 1;
    payload.firstRow = std::move(header_);
    bounds_.shrinkToFit();
    table::releasePages(text_.data() + text_.size() + 1, text_.capacity() - text_.size());
    table::CellStore store(std::move(text_), std::move(bounds_), width_, std::move(jsonLookingColumns_),
                           std::move(coded_));
    if (numbers_)
        store.attachStoredNumbers(std::move(*numbers_).build());
    payload.laterRows = std::move(store);
    return payload;
}

}  // namespace rowlark::workbook
