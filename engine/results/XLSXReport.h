#pragma once

// The report as an Excel workbook: the rows and columns of the CSV report on a sheet with a frozen,
// filterable header, statuses coloured and changed cells highlighted, and a "Summary" sheet. Every
// cell is a string, so nothing in the file can run as a formula. Rows are streamed out as they are
// written, so memory stays bounded however long the report.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/workbook/WorkbookPayload.h"

namespace rowlark::results::XLSXReport {

// What the report says about the comparison besides its differences.
struct Details {
    std::string_view leftName;
    std::string_view rightName;
    const std::vector<std::string>& leftHeaders;
    const std::vector<std::string>& rightHeaders;
    std::string_view key;         // the key columns, as keyColumns() names them
    std::string_view comparedAt;  // when the comparison ran, as the user reads it
    // What selected the rows, each left out of the Summary when empty: the filter's title, the search
    // text and the File A column the changed records were narrowed to.
    std::string_view filter;
    std::string_view search;
    std::string_view changedColumn;
};

// What writing changed of the values: formula-like ones given an apostrophe, and ones longer than a
// cell holds cut, ending in "…".
struct Alterations {
    std::size_t escapedFields = 0;
    std::size_t cutCells = 0;
};

// The most UTF-16 units, as the spreadsheet counts characters, a cell holds.
inline constexpr std::size_t cellCharacterLimit = 32767;

// A report that cannot be written as a workbook; the message is the user's.
class WorkbookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether `path` asks for a workbook: its extension is .xlsx in any case.
bool isWorkbookPath(const std::filesystem::path& path);

// The File A headers of the key columns joined with " • ".
std::string keyColumns(const std::vector<records::ColumnMapping>& mappings,
                       const std::vector<std::string>& leftHeaders);

// `time` in local time as "2026-12-07 14:05:09", for Details::comparedAt.
std::string localTime(std::chrono::system_clock::time_point time);

// Writes the report of the differences at `indices` to `path` as one whole, as ReportFile::write
// does, and with its answer to a stop request. Fails with WorkbookError when the rows or columns do
// not fit on a sheet or the workbook cannot be made, and with std::system_error when the file cannot be
// written. A value longer than a cell holds is cut to end in "…" at the cell's limit, and the Summary
// says how many were. What was changed of the values goes to `alterations` when given.
bool write(const std::filesystem::path& path, const records::ComparisonSummary& summary, const Details& details,
           std::span<const std::size_t> indices, std::stop_token stop = {}, Alterations* alterations = nullptr);

// One pair of sheets of a whole-workbook comparison: its report rows, or why it has none.
struct SheetReport {
    workbook::SheetEntry leftSheet;
    workbook::SheetEntry rightSheet;
    const records::ComparisonSummary* summary = nullptr;  // none when the pair failed
    Details details;  // the pair's details; the filter, search and column hold for every pair
    std::span<const std::size_t> indices;
    std::string_view error;  // why the pair failed
};

// What a report of whole workbooks says besides its pairs.
struct WorkbookDetails {
    std::string_view leftName;
    std::string_view rightName;
    std::string_view comparedAt;
    const std::vector<workbook::SheetEntry>& onlyInLeft;
    const std::vector<workbook::SheetEntry>& onlyInRight;
};

// The worksheet names of the pairs, in order, each named after its File A sheet: what a
// workbook refuses ([ ] : * ? / \) becomes "_", apostrophes at either end are dropped, and
// names are cut to 31 characters and kept unique ignoring letter case, "Summary" and "History"
// included, by " (2)", " (3)", ...
std::vector<std::string> worksheetNames(std::span<const SheetReport> pairs);

// Writes the report of whole workbooks to `path` as one whole, as write() does: first a
// "Summary" sheet with one line a pair (its sheets, hidden ones marked, its counts or its error)
// and the sheets in one file only, then one worksheet a pair that has an outcome, laid out as
// write()'s report sheet. Fails as write() does.
bool writeSheets(const std::filesystem::path& path, std::span<const SheetReport> pairs, const WorkbookDetails& details,
                 std::stop_token stop = {}, Alterations* alterations = nullptr);

}  // namespace rowlark::results::XLSXReport
