#pragma once

// The cells of one sheet as a native workbook reader streams them, in any order, and the rows of
// the used range they make, exactly as the spreadsheet-reader library's script hands them back.
// The size limits are enforced while the cells arrive: the first cell that makes the sheet too
// large stops the read. A native read takes the sheets a workbook format itself can hold, with
// as many cells as memory permits up to a bound: far larger sheets than the library's.

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/StreamedRows.h"
#include "engine/workbook/WorkbookPayload.h"

namespace rowlark::workbook {

inline constexpr std::uint64_t maximumNativeRows = 1048576;  // header row included
inline constexpr std::uint64_t maximumNativeColumns = 16384;
inline constexpr std::uint64_t maximumNativeCells = 50000000;

// Rows and columns counted from 0, both ends included.
struct CellRange {
    std::uint32_t firstRow = 0;
    std::uint32_t firstColumn = 0;
    std::uint32_t lastRow = 0;
    std::uint32_t lastColumn = 0;

    std::uint64_t rowCount() const { return std::uint64_t(lastRow) - firstRow + 1; }
    std::uint64_t columnCount() const { return std::uint64_t(lastColumn) - firstColumn + 1; }
    bool contains(std::uint32_t row, std::uint32_t column) const
    {
        return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    // The first of the rows, columns and cells one sheet may hold that the range exceeds.
    std::optional<ImportError::SheetLimit> exceededLimit() const;
    bool isWithinLimits() const { return !exceededLimit(); }
    // Fails with worksheetTooLarge, naming the limit, when the range exceeds one.
    void checkLimits() const;
    void extend(std::uint32_t row, std::uint32_t column);
};

class SheetCells {
public:
    // The range the sheet declares for itself; cells outside it are not part of the sheet.
    void declareRange(const CellRange& range);
    // The range the reader guesses from what it saw, used when none is declared.
    void guessRange(const CellRange& range) { guessed_ = range; }

    // A cell with its display text; a later cell at the same place replaces an earlier one.
    // Fails with worksheetTooLarge once the cells present (within the declared range) span more
    // than a sheet may hold, or their text passes what a read may hold.
    void add(std::uint32_t row, std::uint32_t column, std::string_view text);
    // Cells that have a comment: the library adds an empty cell where there is none and widens
    // the declared (or guessed) range to it. Positions as (row, column).
    void addCommentedCells(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& positions);
    // A cell whose text is known only at the end: `key` is handed to the resolver of rows().
    void addPending(std::uint32_t row, std::uint32_t column, std::uint32_t key);
    // Pending cells are number cells, and `numberOf(key)` is the number the file stores for one,
    // kept beside its text (StoredNumbers); serials count in the 1904 date system when `isDate1904`.
    void storeNumbersOfPending(std::function<double(std::uint32_t)> numberOf, bool isDate1904)
    {
        numberOfPending_ = std::move(numberOf);
        isDate1904_ = isDate1904;
    }

    // From here on, cells go straight into the rows of the payload as they arrive, when the
    // sheet declared a range within the limits (see isStreaming). Every cell must then come after
    // the one before it, row by row and left to right, number cells with their texts (addNumber),
    // and commented cells inside the range; else RowsNotStreamable is thrown, and the sheet is to
    // be read again into a SheetCells that does not stream.
    void streamRows();
    bool isStreaming() const { return rows_.has_value(); }
    struct RowsNotStreamable {};
    // A number cell of a streaming sheet: its text, and the number the file stores for it.
    void addNumber(std::uint32_t row, std::uint32_t column, std::string_view text, double number);

    // The payload of this sheet: the rows of the used range, trailing blank rows removed. The
    // used range is the declared one (or the guessed one); when that breaks a limit, the range
    // of the cells actually present decides.
    // Fails with ImportCancelled once `stop` is requested.
    // The texts of pending cells count against what a read may hold as they are placed.
    WorkbookPayload payload(std::vector<SheetEntry> sheets, std::stop_token stop,
                            const std::function<std::string_view(std::uint32_t)>& resolvePending = {}) &&;

private:
    struct Cell {
        std::uint32_t row;
        std::uint32_t column;
        std::uint64_t offset;  // of the text; the key of a pending cell
        std::uint32_t size;
        bool isPending;
    };

    void append(const Cell& cell);
    void countText(std::string_view text);
    std::optional<CellRange> usedRange() const;
    bool isOutsideDeclared(std::uint32_t row, std::uint32_t column);
    void addToRows(std::uint32_t row, std::uint32_t column, std::string_view text, std::optional<double> number);

    std::optional<CellRange> declared_;
    std::optional<CellRange> guessed_;
    std::optional<CellRange> present_;
    std::vector<Cell> cells_;
    std::string text_;
    std::uint64_t textUnits_ = 0;
    std::function<double(std::uint32_t)> numberOfPending_;
    bool isDate1904_ = false;
    bool isInOrder_ = true;
    bool hasCellsOutsideDeclared_ = false;
    std::optional<StreamedRows> rows_;
};

}  // namespace rowlark::workbook
