// Decodes the input as the reader's payload and checks the decoded rows: every later row as wide
// as the first, as many rows as counted.

#include "engine/workbook/WorkbookPayload.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto payload =
        rowlark::workbook::WorkbookPayload::decode(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!payload)
        return 0;
    check(payload->laterRows.has_value() == (payload->rowCount > 0));
    if (!payload->laterRows)
        return 0;
    const rowlark::table::CellStore& rows = *payload->laterRows;
    check(rows.width() == payload->firstRow.size());
    // A store of zero-width rows does not count them; the importer refuses such a header anyway.
    check(rows.rowCount() + 1 == payload->rowCount || rows.width() == 0);
    std::size_t bytes = 0;
    for (std::size_t row = 0; row < rows.rowCount(); ++row) {
        for (std::size_t column = 0; column < rows.width(); ++column)
            bytes += rows.cell(row, column).size();
    }
    check(bytes <= rows.memoryUsage());
    return 0;
}
