#pragma once

// Formatting with the spreadsheet-reader library itself, in the reader helper program: for the
// number formats NumberFormat declines. It runs beside the importer, whose helper it starts.

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/workbook/FileImport.h"
#include "engine/workbook/format/NumberFormat.h"

namespace rowlark::workbook {

struct FormatPair {
    // The format text ("General" for format id 0); none for the text of a date cell.
    std::optional<std::string> format;
    CellValue value;  // numbers must be finite
    bool isDate1904 = false;
};

// The text each pair shows as a cell the library read, in the order of `pairs`: the library's
// formatted text, or the text it falls back to where it fails to format the value; for a pair
// without a format, what dateCellText gives. Ask once for
// many pairs, each pair once: every call starts the helper and loads the library. Fails with
// ImportError as reading a workbook does, and with ImportCancelled once `stop` is requested.
std::vector<std::string> formatWithLibrary(const std::vector<FormatPair>& pairs,
                                           const FileImport::ReaderLocations& locations, std::stop_token stop = {});

}  // namespace rowlark::workbook
