#pragma once

// The reader's answer for one workbook: its sheets and the display texts of the rows of the sheet
// it read, decoded from the payload JSON text
//   { "sheetNames": [text, ...], "sheetsHidden": [boolean, ...], "rows": [[text, ...], ...] | null }
// Other members are ignored; "rows" and "sheetsHidden" may be absent. "sheetsHidden" marks the
// sheets in the order of "sheetNames"; a sheet it does not mark as true is visible.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/table/CellStore.h"

namespace rowlark::workbook {

// One sheet of a workbook as its sheet list has it. A hidden sheet (hidden or very hidden) is
// read like any other; the user only sees it marked.
struct SheetEntry {
    std::string name;
    bool isHidden = false;

    bool operator==(const SheetEntry&) const = default;
};

std::vector<std::string> sheetNames(const std::vector<SheetEntry>& sheets);

struct WorkbookPayload {
    std::vector<SheetEntry> sheets;
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
