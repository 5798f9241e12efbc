#pragma once

#include <string>
#include <vector>

#include "engine/workbook/WorkbookPayload.h"
#include "tests/engine/csv/CSVTestSupport.h"

namespace rowlark::testing {

// A workbook's sheets on one line as the .expected files show them, split by '|', a hidden sheet
// marked " [hidden]" (a mark no sheet name can hold: workbooks refuse brackets in names).
inline std::string sheetsLine(const std::vector<workbook::SheetEntry>& sheets)
{
    Row names;
    for (const workbook::SheetEntry& sheet : sheets)
        names.push_back(sheet.isHidden ? sheet.name + " [hidden]" : sheet.name);
    return lineOf(names);
}

}  // namespace rowlark::testing
