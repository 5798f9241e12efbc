#pragma once

// The CSV dialect of every imported file: fields split by one separator (a comma unless the file
// says otherwise, see CSVSeparator.h), double-quote quoting, CR LF and CR read as LF. Characters
// are grapheme clusters, so a separator or quote that a combining mark follows, or a prepended
// character precedes, is text; a tab is always a character of its own.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/csv/CSVSeparator.h"
#include "engine/table/CellStore.h"

namespace rowlark::csv {

struct ParsedCSV {
    std::vector<std::string> headers;
    table::CellStore cells;  // the data rows, each as wide as the header
};

// Parses `text` from byte `start` on, fields split by `separator`. The cells are written into the
// buffer of `text` itself, so the result holds that buffer and the caller's memory is not doubled.
// Fails with CSVError.
ParsedCSV parseCSV(std::string text, std::size_t start = 0, Separator separator = Separator::comma);

}  // namespace rowlark::csv
