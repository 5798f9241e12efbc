#pragma once

// The parts of the model's background operations that are not engine calls: cancellation checks,
// the user's view of a failure, importing a file as a side, and saving the report.

#include <chrono>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

#include <QString>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/setups/Setup.h"
#include "model/InputFile.h"

namespace rowlark::model {

// What a cancellation check throws when its run was cancelled; never shown to the user.
struct OperationCancelled {};

void throwIfCancelled(std::stop_token stop);

// The message of an error, as the user reads it. Running out of memory gets its own.
QString describeFailure(std::exception_ptr failure);

// One file to import as a side of the comparison.
struct FileRequest {
    std::filesystem::path path;
    bool isLeftSide = true;
    std::optional<std::string> sheet;         // of a workbook; the first when none
    std::optional<csv::Separator> separator;  // of a CSV text; detected when none
};

// What a failure to import a file says: the side, the file and why ("File B (orders.csv): The CSV
// has no header row.").
class ImportFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Imports one file (CSV or a workbook sheet) as a side of the comparison. Fails with ImportFailure,
// or with workbook::ImportCancelled when a stop request ended a running workbook reader.
InputFile importInputFile(const FileRequest& request, std::stop_token stop);

// Two files imported at once, each as its side: what was read, and what failed, a message each.
struct ImportedPair {
    std::optional<InputFile> left;
    std::optional<InputFile> right;
    std::vector<QString> failures;
};

// Imports both files; a side that fails leaves the other read. Fails only with
// workbook::ImportCancelled, when a stop request ended a running reader.
ImportedPair importPair(const FileRequest& first, const FileRequest& second, std::stop_token stop);

// What the workbook report names besides its rows.
struct ReportContext {
    std::string key;  // the key columns
    std::chrono::system_clock::time_point comparedAt;
    std::string filter;         // the filter's title
    std::string search;         // empty for none
    std::string changedColumn;  // the column the changes are narrowed to; empty for none
};

// What saveReport wrote.
struct SavedReport {
    QString path;                   // the path chosen, with ".csv" added when it names no report format
    std::size_t rows = 0;           // the differences reported
    std::size_t escapedFields = 0;  // values given an apostrophe, lest a spreadsheet read them as formulas
    std::size_t cutCells = 0;       // workbook cells cut at the most a cell holds
};

// The path a report is written to: `path` when it ends in .csv or .xlsx, in any case; otherwise
// `path` with ".csv" added, so that no other file type's name holds a CSV text.
QString reportPath(const QString& path);

// Writes the report of `indices` to reportPath(`path`) as one whole (see ReportFile::write), so a
// failed or cancelled write leaves an existing file intact: the workbook report for .xlsx, which
// also names what `context` holds, else the CSV report. Fails with OperationCancelled when `stop`
// is requested before the report is committed.
SavedReport saveReport(const QString& path, const records::ComparisonSummary& summary, const InputFile& left,
                       const InputFile& right, const std::vector<std::size_t>& indices, const ReportContext& context,
                       std::stop_token stop);

// A side of a comparison read as a setup names it: a workbook that no longer has the setup's sheet
// is read at its first sheet, and `notice` says so.
struct SetupSide {
    InputFile file;
    std::optional<std::string> notice;
};

// The setup file at `path`. Fails with a message that names the file.
setups::Setup readSetup(const std::filesystem::path& path);

// Reads the files of a setup read from `setupPath`, both at once. Fails with a message that names
// the side and the file.
std::pair<SetupSide, SetupSide> importSetupFiles(const setups::Setup& setup, const std::filesystem::path& setupPath,
                                                 std::stop_token stop);

// What the web page report names besides its records.
struct PageContext {
    std::vector<records::ColumnMapping> mappings;  // as compared: the page lists each record's fields by them
    std::string key;                               // the key columns
    std::chrono::system_clock::time_point comparedAt;
    std::string keyWarning;
    bool ignoreCase = false;
    std::string filter;         // the filter's title
    std::string search;         // empty for none
    std::string changedColumn;  // the column the changes are narrowed to; empty for none
};

// Writes the web page report of `indices` to `path` as one whole, as saveReport does; returns the
// record count. Fails with OperationCancelled when `stop` is requested before the page is committed.
std::size_t savePage(const QString& path, const records::ComparisonSummary& summary, const InputFile& left,
                     const InputFile& right, const std::vector<std::size_t>& indices, const PageContext& context,
                     std::stop_token stop);

}  // namespace rowlark::model
