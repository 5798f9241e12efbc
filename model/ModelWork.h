#pragma once

// The parts of the model's background operations that are not engine calls: cancellation checks,
// the user's view of a failure, importing a file as a side, and saving the report.

#include <chrono>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <optional>
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

// Imports one file (CSV or a workbook sheet) as a side of the comparison. A stop request ends a
// running workbook reader at once.
InputFile importInputFile(const std::filesystem::path& path, const std::optional<std::string>& sheet,
                          std::stop_token stop);

// Writes the report of `indices` to `path` as one whole (see ReportFile::write), so a failed or
// cancelled write leaves an existing file intact; returns the row count. A path ending in .xlsx
// gets the workbook report, which also names `key` and `comparedAt`; any other path the CSV
// report. Fails with OperationCancelled when `stop` is requested before the report is committed.
std::size_t saveReport(const QString& path, const records::ComparisonSummary& summary, const InputFile& left,
                       const InputFile& right, const std::vector<std::size_t>& indices, const std::string& key,
                       std::chrono::system_clock::time_point comparedAt, std::stop_token stop);

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
