#pragma once

// What the "General" format shows.

#include <string>

#include "engine/workbook/format/NumberFormat.h"

namespace rowlark::workbook::formatting {

// A number as generalNumberText shows it, a Boolean as TRUE or FALSE, a text as it is.
std::string generalText(const CellValue& value);

}  // namespace rowlark::workbook::formatting
