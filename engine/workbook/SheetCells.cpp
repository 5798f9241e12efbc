#include "engine/workbook/SheetCells.h"

#include <algorithm>
#include <set>

#include "engine/workbook/FileImport.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "engine/workbook/library/ReaderProtocol.h"

namespace rowlark::workbook {
namespace {

// What a cell's text takes on average in a sheet of numbers, dates and short texts.
constexpr std::uint64_t expectedTextBytes = 12;

// UTF-16 units of UTF-8 text: one per sequence, two for those past the basic plane.
std::uint64_t utf16Units(std::string_view text)
{
    std::uint64_t units = 0;
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        units += (byte & 0xC0) != 0x80;
        units += byte >= 0xF0;
    }
    return units;
}

bool isBlankRow(const std::vector<std::string_view>& cells, std::size_t first, std::size_t width)
{
    return std::all_of(cells.begin() + static_cast<std::ptrdiff_t>(first),
                       cells.begin() + static_cast<std::ptrdiff_t>(first + width),
                       [](std::string_view cell) { return cell.empty(); });
}

// Checked every 65,536 cells, a few milliseconds of work apart.
void throwIfStopped(const std::stop_token& stop, std::size_t cell)
{
    if (cell % 65536 == 0 && stop.stop_requested())
        throw ImportCancelled();
}

}  // namespace

bool CellRange::isWithinLimits() const
{
    return rowCount() <= std::uint64_t(FileImport::maximumRows) &&
           columnCount() <= std::uint64_t(FileImport::maximumColumns) &&
           rowCount() * columnCount() <= std::uint64_t(FileImport::maximumCells);
}

void CellRange::extend(std::uint32_t row, std::uint32_t column)
{
    firstRow = std::min(firstRow, row);
    lastRow = std::max(lastRow, row);
    firstColumn = std::min(firstColumn, column);
    lastColumn = std::max(lastColumn, column);
}

void SheetCells::declareRange(const CellRange& range)
{
    declared_ = range;
    // Room for the cells a sheet within the limits may declare, so that the cells need not be
    // copied as they grow; pages are only taken as cells arrive.
    const std::uint64_t cells =
        std::min<std::uint64_t>(range.rowCount() * range.columnCount(), FileImport::maximumCells);
    cells_.reserve(cells);
    text_.reserve(cells * expectedTextBytes);
}

void SheetCells::countText(std::string_view text)
{
    textUnits_ += utf16Units(text);
    if (textUnits_ > readerProtocol::maximumSheetTextUnits)
        throw ImportError::worksheetTooLarge();
}

void SheetCells::add(std::uint32_t row, std::uint32_t column, std::string_view text)
{
    if (declared_ && !declared_->contains(row, column)) {
        hasCellsOutsideDeclared_ = true;
        return;
    }
    countText(text);
    append({row, column, text_.size(), static_cast<std::uint32_t>(text.size()), false});
    text_.append(text);
}

void SheetCells::addCommentedCells(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& positions)
{
    std::set<std::pair<std::uint32_t, std::uint32_t>> missing(positions.begin(), positions.end());
    for (const Cell& cell : cells_)
        missing.erase({cell.row, cell.column});
    for (const auto& [row, column] : missing) {
        // Cells outside the declared range were left out: whether one was here is unknown.
        if (hasCellsOutsideDeclared_ && !declared_->contains(row, column))
            throw ReadDeclined();
        std::optional<CellRange>& stated = declared_ ? declared_ : guessed_;
        if (stated)
            stated->extend(row, column);
        else
            stated = CellRange{row, column, row, column};
        append({row, column, text_.size(), 0, false});
    }
}

void SheetCells::addPending(std::uint32_t row, std::uint32_t column, std::uint32_t key)
{
    if (declared_ && !declared_->contains(row, column)) {
        hasCellsOutsideDeclared_ = true;
        return;
    }
    append({row, column, key, 0, true});
}

void SheetCells::append(const Cell& cell)
{
    if (!present_)
        present_ = CellRange{cell.row, cell.column, cell.row, cell.column};
    else
        present_->extend(cell.row, cell.column);
    if (!present_->isWithinLimits())
        throw ImportError::worksheetTooLarge();
    if (!cells_.empty()) {
        const Cell& last = cells_.back();
        isInOrder_ = isInOrder_ && (last.row < cell.row || (last.row == cell.row && last.column < cell.column));
    }
    cells_.push_back(cell);
}

std::optional<CellRange> SheetCells::usedRange() const
{
    const std::optional<CellRange>& stated = declared_ ? declared_ : guessed_;
    if (!stated || stated->isWithinLimits())
        return stated;
    return present_;
}

WorkbookPayload SheetCells::payload(std::vector<std::string> sheetNames, std::stop_token stop,
                                    const std::function<std::string_view(std::uint32_t)>& resolvePending) &&
{
    WorkbookPayload payload;
    payload.sheetNames = std::move(sheetNames);
    const std::optional<CellRange> range = usedRange();
    if (!range)
        return payload;
    if (!range->isWithinLimits())
        throw ImportError::worksheetTooLarge();

    if (!isInOrder_) {
        // Later cells at the same place win, so equal places keep their order.
        std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& left, const Cell& right) {
            return left.row != right.row ? left.row < right.row : left.column < right.column;
        });
    }
    const std::size_t width = range->columnCount();
    const std::size_t height = range->rowCount();
    std::vector<std::string_view> grid(width * height);
    // The numbers of the number cells below the header row, taken in row order as cells arrive.
    std::optional<table::StoredNumbersBuilder> numbers;
    if (numberOfPending_)
        numbers.emplace(width, isDate1904_);
    for (std::size_t index = 0; index < cells_.size(); ++index) {
        const Cell& cell = cells_[index];
        throwIfStopped(stop, index);
        if (!range->contains(cell.row, cell.column))
            continue;
        const std::size_t place = std::size_t(cell.row - range->firstRow) * width + (cell.column - range->firstColumn);
        std::string_view text;
        if (cell.isPending) {
            text = resolvePending(static_cast<std::uint32_t>(cell.offset));
            countText(text);
            // Cells are in place order here, so a later cell at the same place is the next one.
            const bool isReplaced = index + 1 < cells_.size() && cells_[index + 1].row == cell.row &&
                                    cells_[index + 1].column == cell.column;
            if (numbers && !isReplaced && place >= width)
                numbers->add(place / width - 1, place % width,
                             numberOfPending_(static_cast<std::uint32_t>(cell.offset)), text);
        } else {
            text = std::string_view(text_).substr(cell.offset, cell.size);
        }
        grid[place] = text;
    }

    std::size_t rowCount = height;
    while (rowCount > 0 && isBlankRow(grid, (rowCount - 1) * width, width))
        --rowCount;
    payload.rowCount = rowCount;
    if (rowCount == 0)
        return payload;
    payload.firstRow.assign(grid.begin(), grid.begin() + static_cast<std::ptrdiff_t>(width));
    table::CellStoreBuilder builder(width, rowCount - 1, text_.size());
    for (std::size_t index = width; index < rowCount * width; ++index) {
        throwIfStopped(stop, index);
        builder.appendCell(grid[index]);
    }
    payload.laterRows = std::move(builder).build();
    if (numbers)
        payload.laterRows->attachStoredNumbers(std::move(*numbers).build());
    return payload;
}

}  // namespace rowlark::workbook
