#pragma once

// The rows of a sheet whose cells arrive in reading order, stored as they come in the layout of
// the table's cell store, without a structure per cell on the way: the columns whose first rows
// hold few distinct texts (dates, flags, categories) keep each text once and a code per cell.
// Rows after the last one that shows a text take no room, as in SheetCells' payload.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/table/CellStore.h"
#include "engine/table/StoredNumbers.h"
#include "engine/workbook/WorkbookPayload.h"

namespace rowlark::workbook {

class StreamedRows {
public:
    // The rows of `firstRow` on, `width` cells each; the first is the header. The numbers of
    // number cells are kept beside their texts when `isDate1904` is given.
    StreamedRows(std::uint32_t firstRow, std::uint32_t firstColumn, std::uint32_t rowCount, std::uint32_t width,
                 std::optional<bool> isDate1904);

    // Whether a cell at (row, column) comes after every cell so far, row by row, left to right.
    bool isNext(std::uint32_t row, std::uint32_t column) const
    {
        return !last_ || row > last_->first || (row == last_->first && column > last_->second);
    }
    // A cell that isNext, inside the rows and columns; `number` is what the file stores for a
    // number cell.
    void add(std::uint32_t row, std::uint32_t column, std::string_view text, std::optional<double> number = {});

    WorkbookPayload payload(std::vector<SheetEntry> sheets) &&;

private:
    // A number of a row that shows no text so far: kept only if a later text keeps its row.
    struct WaitingNumber {
        std::size_t row;
        std::size_t column;
        double value;
    };

    void addToHeader(std::size_t column, std::string_view text);
    void addToRow(std::size_t row, std::size_t column, std::string_view text, std::optional<double> number);
    void openRow(std::size_t row);
    void noteRowsComplete();
    void fillRowTo(std::size_t column);
    void storeCell(std::size_t column, std::string_view text);
    void chooseCodedColumns();

    std::uint32_t firstRow_;
    std::uint32_t firstColumn_;
    std::size_t width_;
    std::size_t expectedRows_;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> last_;
    std::vector<std::string> header_;
    bool hasHeaderText_ = false;

    // Data rows begun in the store; the last one is filled up to `rowCells_`.
    std::size_t storedRows_ = 0;
    std::size_t rowCells_ = 0;
    std::vector<WaitingNumber> waitingNumbers_;

    std::string text_;
    table::CellBounds bounds_;
    table::CodedColumns coded_;
    std::vector<std::size_t> codedIndices_;  // per column, its index among the coded ones or notCoded
    bool isSampling_ = true;                 // until the coded columns are chosen
    table::JSONLookingColumns jsonLookingColumns_;
    std::optional<table::StoredNumbersBuilder> numbers_;
};

}  // namespace rowlark::workbook
