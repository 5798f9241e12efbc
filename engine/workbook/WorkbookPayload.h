#pragma once

// The reader's answer for one workbook: its sheet names and the display texts of the rows of
// the sheet it read, decoded from the payload JSON text
//   { "sheetNames": [text, ...], "rows": [[text, ...], ...] | null }
// Other members are ignored; "rows" may be absent.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/table/CellStore.h"

namespace rowlark::workbook {

struct WorkbookPayload {
    std::vector<std::string> sheetNames;
    // Rows in the payload, the first included; 0 when "rows" is absent, null or empty.
    std::size_t rowCount = 0;
    std::vector<std::string> firstRow;
    // Every row after the first, as wide as the first (a shorter row is padded with empty
    // cells, a longer one cut); present when rowCount > 0.
    std::optional<table::CellStore> laterRows;

    // None when the text is not JSON, not an object, lacks "sheetNames", or holds a value of
    // another type under either key.
    static std::optional<WorkbookPayload> decode(std::string_view json);
};

}  // namespace rowlark::workbook
