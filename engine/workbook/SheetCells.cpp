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

// Checked every 65,536 cells, a few milliseconds of work apart.
void throwIfStopped(const std::stop_token& stop, std::size_t cell)
{
    if (cell % 65536 == 0 && stop.stop_requested())
        throw ImportCancelled();
}

ImportError sheetTooLarge(ImportError::SheetLimit limit)
{
    switch (limit) {
    case ImportError::SheetLimit::rows:
        return ImportError::worksheetTooLarge(limit, maximumNativeRows);
    case ImportError::SheetLimit::columns:
        return ImportError::worksheetTooLarge(limit, maximumNativeColumns);
    default:
        return ImportError::worksheetTooLarge(limit, maximumNativeCells);
    }
}

}  // namespace

std::optional<ImportError::SheetLimit> CellRange::exceededLimit() const
{
    if (rowCount() > maximumNativeRows)
        return ImportError::SheetLimit::rows;
    if (columnCount() > maximumNativeColumns)
        return ImportError::SheetLimit::columns;
    if (rowCount() * columnCount() > maximumNativeCells)
        return ImportError::SheetLimit::cells;
    return std::nullopt;
}

void CellRange::checkLimits() const
{
    if (const std::optional<ImportError::SheetLimit> limit = exceededLimit())
        throw sheetTooLarge(*limit);
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
    // Room for the cells the sheet declares, up to what the library's path may read, so that the
    // cells of most sheets need not be copied as they grow; pages are only taken as cells arrive.
    const std::uint64_t cells =
        std::min<std::uint64_t>(range.rowCount() * range.columnCount(), FileImport::maximumCells);
    cells_.reserve(cells);
    text_.reserve(cells * expectedTextBytes);
}

void SheetCells::countText(std::string_view text)
{
    textUnits_ += utf16Units(text);
    if (textUnits_ > readerProtocol::maximumSheetTextUnits)
        throw ImportError::worksheetTooLarge(ImportError::SheetLimit::textLength,
                                             readerProtocol::maximumSheetTextUnits);
}

bool SheetCells::isOutsideDeclared(std::uint32_t row, std::uint32_t column)
{
    if (!declared_ || declared_->contains(row, column))
        return false;
    hasCellsOutsideDeclared_ = true;
    return true;
}

void SheetCells::streamRows()
{
    if (!declared_ || !declared_->isWithinLimits() || !cells_.empty())
        return;
    cells_ = {};
    text_ = {};
    rows_.emplace(declared_->firstRow, declared_->firstColumn, static_cast<std::uint32_t>(declared_->rowCount()),
                  static_cast<std::uint32_t>(declared_->columnCount()),
                  numberOfPending_ ? std::optional<bool>(isDate1904_) : std::nullopt);
}

void SheetCells::addToRows(std::uint32_t row, std::uint32_t column, std::string_view text, std::optional<double> number)
{
    if (!rows_->isNext(row, column))
        throw RowsNotStreamable();
    countText(text);
    rows_->add(row, column, text, number);
}

void SheetCells::addNumber(std::uint32_t row, std::uint32_t column, std::string_view text, double number)
{
    if (!rows_)
        throw RowsNotStreamable();
    if (!isOutsideDeclared(row, column))
        addToRows(row, column, text, number);
}

void SheetCells::add(std::uint32_t row, std::uint32_t column, std::string_view text)
{
    if (isOutsideDeclared(row, column))
        return;
    if (rows_) {
        addToRows(row, column, text, std::nullopt);
        return;
    }
    countText(text);
    append({row, column, text_.size(), static_cast<std::uint32_t>(text.size()), false});
    text_.append(text);
}

void SheetCells::addCommentedCells(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& positions)
{
    if (rows_) {
        // An empty cell inside the declared range changes no row; one outside widens the range.
        if (std::any_of(positions.begin(), positions.end(),
                        [&](const auto& position) { return !declared_->contains(position.first, position.second); }))
            throw RowsNotStreamable();
        return;
    }
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
    if (rows_)
        throw RowsNotStreamable();
    if (isOutsideDeclared(row, column))
        return;
    append({row, column, key, 0, true});
}

void SheetCells::append(const Cell& cell)
{
    if (!present_)
        present_ = CellRange{cell.row, cell.column, cell.row, cell.column};
    else
        present_->extend(cell.row, cell.column);
    present_->checkLimits();
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

WorkbookPayload SheetCells::payload(std::vector<SheetEntry> sheets, std::stop_token stop,
                                    const std::function<std::string_view(std::uint32_t)>& resolvePending) &&
{
    if (rows_)
        return std::move(*rows_).payload(std::move(sheets));
    WorkbookPayload payload;
    payload.sheets = std::move(sheets);
    const std::optional<CellRange> range = usedRange();
    if (!range)
        return payload;
    range->checkLimits();

    if (!isInOrder_) {
        // Later cells at the same place win, so equal places keep their order.
        std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& left, const Cell& right) {
            return left.row != right.row ? left.row < right.row : left.column < right.column;
        });
    }
    const auto textOf = [&](const Cell& cell) {
        return cell.isPending ? resolvePending(static_cast<std::uint32_t>(cell.offset))
                              : std::string_view(text_).substr(cell.offset, cell.size);
    };
    const auto isReplaced = [&](std::size_t index) {
        return index + 1 < cells_.size() && cells_[index + 1].row == cells_[index].row &&
               cells_[index + 1].column == cells_[index].column;
    };
    // The rows after the last one that shows a text are left out, so they take no room: a range
    // declared far past the cells costs nothing. The cells are in row order, so the search runs
    // from the end and usually stops at the last cell, leaving each pending text resolved once.
    std::optional<std::uint32_t> lastRow;
    for (std::size_t index = cells_.size(); index-- > 0 && !lastRow;) {
        const Cell& cell = cells_[index];
        throwIfStopped(stop, index);
        if (range->contains(cell.row, cell.column) && !isReplaced(index) && !textOf(cell).empty())
            lastRow = cell.row;
    }
    if (!lastRow)
        return payload;
    const std::size_t width = range->columnCount();
    const std::size_t rowCount = *lastRow - range->firstRow + 1;
    payload.rowCount = rowCount;
    // The numbers of the number cells below the header row, taken in row order as cells arrive.
    std::optional<table::StoredNumbersBuilder> numbers;
    if (numberOfPending_)
        numbers.emplace(width, isDate1904_);
    // The rows one at a time, from the cells in order.
    std::vector<std::string_view> row(width);
    table::CellStoreBuilder builder(width, rowCount - 1, text_.size());
    std::size_t next = 0;
    for (std::uint32_t at = range->firstRow; at <= *lastRow; ++at) {
        std::fill(row.begin(), row.end(), std::string_view());
        for (; next < cells_.size() && cells_[next].row <= at; ++next) {
            const Cell& cell = cells_[next];
            throwIfStopped(stop, next);
            if (cell.row < at || !range->contains(cell.row, cell.column))
                continue;
            const std::string_view text = textOf(cell);
            if (cell.isPending) {
                countText(text);
                if (numbers && at != range->firstRow && !isReplaced(next))
                    numbers->add(at - range->firstRow - 1, cell.column - range->firstColumn,
                                 numberOfPending_(static_cast<std::uint32_t>(cell.offset)), text);
            }
            row[cell.column - range->firstColumn] = text;
        }
        if (at == range->firstRow) {
            payload.firstRow.assign(row.begin(), row.end());
            continue;
        }
        for (const std::string_view cell : row)
            builder.appendCell(cell);
    }
    payload.laterRows = std::move(builder).build();
    if (numbers)
        payload.laterRows->attachStoredNumbers(std::move(*numbers).build());
    return payload;
}

}  // namespace rowlark::workbook
