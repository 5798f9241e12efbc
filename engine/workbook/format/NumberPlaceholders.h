#pragma once

// A run of number placeholders ("#,##0.00", "0%", "# ?/8", "0.00E+00") filled with a number,
// as the spreadsheet-reader library's write_num writes it.

#include <optional>
#include <string>
#include <string_view>

namespace rowlark::workbook::formatting {

// A text, or none where the library throws or takes a path not reproduced here.
using Text = std::optional<std::string>;

// The number written into the placeholders; `type` is the library's token type of the run ('n'
// for digits, '?' for a fraction's).
Text writeNumber(char type, std::string_view format, double value);

}  // namespace rowlark::workbook::formatting
