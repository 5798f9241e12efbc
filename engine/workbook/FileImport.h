#pragma once

// The one entry point through which every file the user chooses becomes a table. CSV and text
// files go to the CSV reader; XLSX, XLS and ODS workbooks to the native readers, and what those
// decline (and every Numbers file) to the spreadsheet-reader library, which runs in a helper
// program of its own (rowlark-reader) so that its memory use or a crash on a damaged file never
// reaches this process.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/csv/CSVSeparator.h"
#include "engine/table/Table.h"
#include "engine/workbook/WorkbookPayload.h"

namespace rowlark::workbook {

struct ImportedTable {
    table::Table table;
    std::vector<SheetEntry> sheets;           // the workbook's sheets in workbook order; empty for CSV
    std::optional<std::string> sheet;         // the sheet that was read; none for CSV
    std::optional<csv::Separator> separator;  // what split the fields of a CSV text; none for workbooks
};

namespace FileImport {

inline constexpr std::int64_t maximumWorkbookBytes = 64 * 1048576;
inline constexpr std::int64_t maximumRows = 250000;  // header row included
inline constexpr std::int64_t maximumColumns = 10000;
inline constexpr std::int64_t maximumCells = 5000000;

// Where the helper program and the resource directory "Rowlark_Rowlark.bundle" are looked for,
// each list in order; the first hit wins.
struct ReaderLocations {
    std::vector<std::filesystem::path> helperDirectories;
    std::vector<std::filesystem::path> bundleDirectories;
};

// XLSX, ODS and XLS files are read natively unless the library is asked for; what the native
// reader declines goes to the library either way. Numbers files always go to the library.
enum class WorkbookReader { native, library };

// The library when the environment variable ROWLARK_WORKBOOK_READER is "library", else native.
WorkbookReader defaultWorkbookReader();

// Beside the running executable, then the install tree around it (libexec/rowlark for the
// helper, share/rowlark for the bundle).
ReaderLocations defaultReaderLocations();

// Reads the file as a table, choosing the reader by the lower-cased extension alone: "csv" and
// "txt" are CSV texts whose separator is detected, "tsv" and "tab" tab-separated ones; a
// `separator` given replaces either. `sheet` picks the workbook sheet (the first one when none)
// and is ignored for CSV. Fails with ImportError, CSVError or std::system_error (file system
// errors, with the system's message), and with ImportCancelled once `stop` is requested; a
// running reader is then killed at once.
ImportedTable readTable(const std::filesystem::path& path, const std::optional<std::string>& sheet = {},
                        std::stop_token stop = {}, std::optional<csv::Separator> separator = std::nullopt);
ImportedTable readTable(const std::filesystem::path& path, const std::optional<std::string>& sheet,
                        const ReaderLocations& locations, std::stop_token stop = {},
                        WorkbookReader reader = defaultWorkbookReader(),
                        std::optional<csv::Separator> separator = std::nullopt);

// The workbook's sheets in workbook order, without reading any of them: empty for a CSV text.
// Fails as readTable does.
std::vector<SheetEntry> readSheets(const std::filesystem::path& path, const ReaderLocations& locations,
                                   std::stop_token stop = {}, WorkbookReader reader = defaultWorkbookReader());

// Whether the file is read as a CSV text, by its extension: one whose separator can be chosen.
bool isCSVText(const std::filesystem::path& path);

}  // namespace FileImport
}  // namespace rowlark::workbook
