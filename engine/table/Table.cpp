#include "engine/table/Table.h"

#include <algorithm>
#include <utility>

namespace rowlark::table {

Table::Table(std::vector<std::string> headers, std::vector<ColumnSource> columns, std::size_t rowCount)
    : headers_(std::move(headers))
    , columns_(std::move(columns))
    , rowCount_(rowCount)
{
}

Table Table::withStore(std::vector<std::string> headers, CellStore store)
{
    auto shared = std::make_shared<const CellStore>(std::move(store));
    std::vector<ColumnSource> columns;
    columns.reserve(shared->width());
    for (std::size_t column = 0; column < shared->width(); ++column)
        columns.push_back({shared, column});
    return Table(std::move(headers), std::move(columns), shared->rowCount());
}

Table Table::fromRows(std::vector<std::string> headers, const std::vector<std::vector<std::string>>& rows)
{
    const std::size_t width = headers.size();
    std::size_t bytes = 0;
    for (const auto& row : rows)
        for (const auto& cell : row)
            bytes += cell.size();
    CellStoreBuilder builder(width, rows.size(), bytes);
    for (const auto& row : rows)
        for (std::size_t column = 0; column < width; ++column)
            builder.appendCell(column < row.size() ? std::string_view(row[column]) : std::string_view());
    return withStore(std::move(headers), std::move(builder).build());
}

std::vector<std::string> Table::rowStrings(std::size_t row) const
{
    std::vector<std::string> cells;
    cells.reserve(columnCount());
    for (std::size_t column = 0; column < columnCount(); ++column)
        cells.emplace_back(cell(row, column));
    return cells;
}

std::vector<const CellStore*> Table::stores() const
{
    std::vector<const CellStore*> stores;
    for (const auto& source : columns_)
        if (std::find(stores.begin(), stores.end(), source.store.get()) == stores.end())
            stores.push_back(source.store.get());
    return stores;
}

std::size_t Table::memoryUsage() const
{
    std::size_t bytes = 0;
    for (const CellStore* store : stores())
        bytes += store->memoryUsage();
    for (const auto& header : headers_)
        bytes += header.capacity();
    return bytes;
}

std::size_t Table::storedNumbersMemoryUsage() const
{
    std::size_t bytes = 0;
    for (const CellStore* store : stores())
        bytes += store->storedNumbers().memoryUsage();
    return bytes;
}

bool operator==(const Table& a, const Table& b)
{
    if (a.headers_ != b.headers_ || a.rowCount_ != b.rowCount_ || a.derivedColumnCount_ != b.derivedColumnCount_ ||
        a.structuredColumnIndices_ != b.structuredColumnIndices_ || a.derivedColumnIndices_ != b.derivedColumnIndices_)
        return false;
    for (std::size_t row = 0; row < a.rowCount_; ++row)
        for (std::size_t column = 0; column < a.columnCount(); ++column)
            if (a.cell(row, column) != b.cell(row, column))
                return false;
    return true;
}

}  // namespace rowlark::table
