#pragma once

// Reading a CSV file into a table: its bytes decoded (UTF-8; UTF-16 by its byte-order mark; else
// Windows-1252), its separator detected unless one is given, its records parsed and its
// JSON-object columns expanded.

#include <filesystem>
#include <optional>

#include "engine/csv/CSVSeparator.h"
#include "engine/table/Table.h"

namespace rowlark::csv {

struct LoadedCSV {
    table::Table table;
    Separator separator;  // the one the fields were split by
};

// Fails with CSVError, or with std::system_error carrying the file system's message.
LoadedCSV loadCSV(const std::filesystem::path& path, std::optional<Separator> separator = std::nullopt);

}  // namespace rowlark::csv
