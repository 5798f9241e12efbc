#pragma once

// The in-memory form of every input file: a header row and data rows of text cells, every row
// as wide as the header. A value type: copies share the immutable cell storage, so copying a
// table between threads is cheap. Cells are handed out as views into that storage.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/table/CellStore.h"

namespace rowlark::table {

class Table {
public:
    class RowView;

    // An empty table: no headers, no rows.
    Table() = default;

    // Builds a table from rows as given; short rows are padded with empty cells and cells past
    // the header width are dropped. For tables that do not come from CSV text.
    static Table fromRows(std::vector<std::string> headers, const std::vector<std::vector<std::string>>& rows);

    // Builds a table over cells already stored, as wide as the header. For importers that
    // write cells straight into a store.
    static Table fromStore(std::vector<std::string> headers, CellStore store)
    {
        return withStore(std::move(headers), std::move(store));
    }

    // Parses CSV text (UTF-8). Fails with CSVError. No structured-column expansion.
    static Table parse(std::string text);

    // Reads, decodes, parses and expands a CSV file, its separator detected (csv::loadCSV, which
    // also tells the separator). Fails with CSVError, or with std::system_error carrying the file
    // system's message.
    static Table load(const std::filesystem::path& path);

    // A copy with every JSON-object column expanded into derived columns placed after it.
    Table expandingStructuredColumns() const;

    const std::vector<std::string>& headers() const { return headers_; }
    std::size_t columnCount() const { return headers_.size(); }
    std::size_t rowCount() const { return rowCount_; }

    // The cell as read; empty for a row or column outside the table.
    std::string_view cell(std::size_t row, std::size_t column) const
    {
        if (row >= rowCount_ || column >= columns_.size())
            return {};
        const ColumnSource& source = columns_[column];
        return source.store->cell(row, source.column);
    }
    // The number a workbook stored for the cell, none for a cell that is not a workbook number cell.
    std::optional<values::StoredNumber> storedNumber(std::size_t row, std::size_t column) const
    {
        if (row >= rowCount_ || column >= columns_.size())
            return std::nullopt;
        const ColumnSource& source = columns_[column];
        return source.store->storedNumbers().at(row, source.column, source.store->cell(row, source.column));
    }
    bool hasNumberCells(std::size_t column) const
    {
        return column < columns_.size() &&
               columns_[column].store->storedNumbers().hasNumberCells(columns_[column].column);
    }
    // Whether some cell of the column looks like a JSON object (text::looksLikeJSONObject).
    bool hasCellsLookingLikeJSON(std::size_t column) const
    {
        const ColumnSource& source = columns_[column];
        return source.store->hasCellsLookingLikeJSON(source.column);
    }
    // Asks for the cache lines that say where a cell lies, and for the codes of its row when its
    // store keeps some columns as codes, ahead of reading them; the row and column must be inside
    // the table.
    void prefetchCellPlace(std::size_t row, std::size_t column) const
    {
        const ColumnSource& source = columns_[column];
        source.store->prefetchPlace(row, source.column);
    }
    RowView row(std::size_t row) const;
    std::vector<std::string> rowStrings(std::size_t row) const;

    std::int64_t derivedColumnCount() const { return derivedColumnCount_; }
    const std::set<std::size_t>& structuredColumnIndices() const { return structuredColumnIndices_; }
    const std::set<std::size_t>& derivedColumnIndices() const { return derivedColumnIndices_; }

    // Bytes held by the cell storage this table refers to, and of those by the numbers a workbook
    // stored beside its texts.
    std::size_t memoryUsage() const;
    std::size_t storedNumbersMemoryUsage() const;

    friend bool operator==(const Table& a, const Table& b);

private:
    struct ColumnSource {
        std::shared_ptr<const CellStore> store;
        std::size_t column;
    };

    Table(std::vector<std::string> headers, std::vector<ColumnSource> columns, std::size_t rowCount);
    std::vector<const CellStore*> stores() const;  // each store once
    static Table withStore(std::vector<std::string> headers, CellStore store);

    std::vector<std::string> headers_;
    std::vector<ColumnSource> columns_;
    std::size_t rowCount_ = 0;
    std::int64_t derivedColumnCount_ = 0;
    std::set<std::size_t> structuredColumnIndices_;
    std::set<std::size_t> derivedColumnIndices_;
};

// One row of a table, as wide as its header.
class Table::RowView {
public:
    RowView(const Table& table, std::size_t row)
        : table_(&table)
        , row_(row)
    {
    }
    std::size_t size() const { return table_->columnCount(); }
    std::string_view operator[](std::size_t column) const { return table_->cell(row_, column); }

private:
    const Table* table_;
    std::size_t row_;
};

inline Table::RowView Table::row(std::size_t row) const
{
    return RowView(*this, row);
}

}  // namespace rowlark::table
