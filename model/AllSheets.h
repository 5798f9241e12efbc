#pragma once

// "All sheets": every sheet of File A compared with its counterpart in File B, one pair after the
// other, each with its own mapping, key and result. The model shows one pair at a time through its
// ordinary fields and keeps the others here.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include <QString>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/results/ResultIndex.h"
#include "engine/workbook/WorkbookPayload.h"
#include "model/InputFile.h"

namespace rowlark::model {

// One pair of sheets and what came of comparing them.
struct SheetPair {
    workbook::SheetEntry left = {};
    workbook::SheetEntry right = {};
    // Both sheets as read; absent when either failed to read.
    std::optional<InputFile> leftFile = {};
    std::optional<InputFile> rightFile = {};
    std::vector<records::ColumnMapping> mappings = {};
    std::vector<std::vector<records::HeaderSuggestion>> suggestions = {};
    // Absent until the pair is compared, and again once its mapping changes.
    std::shared_ptr<const records::ComparisonSummary> summary = {};
    std::shared_ptr<const results::ResultIndex> index = {};
    double elapsed = 0;
    std::chrono::system_clock::time_point comparedAt = {};
    QString keyWarning = {};
    // Why the pair has no result: a sheet that failed to read, or no row key. Empty otherwise.
    QString problem = {};
};

// Both workbooks' sheets: the pairs in File A's order, and the sheets left without a counterpart.
struct WorkbookPairing {
    std::vector<std::string> leftSheets;  // File A's sheets in order, paired or not
    std::vector<SheetPair> pairs;
    std::vector<workbook::SheetEntry> onlyInLeft;
    std::vector<workbook::SheetEntry> onlyInRight;
};

// What the sheet list shows of a pair, or of a sheet without a counterpart (one side only).
struct SheetListEntry {
    std::optional<workbook::SheetEntry> left = {};
    std::optional<workbook::SheetEntry> right = {};
    std::optional<std::size_t> pair = {};  // its position among the pairs; none for a sheet of one file
    bool isCompared = false;
    std::int64_t changed = 0;
    std::int64_t onlyLeft = 0;
    std::int64_t onlyRight = 0;
    QString problem = {};
};

// Pairs the sheets of the two workbooks, each pair still to be read.
WorkbookPairing pairWorkbookSheets(const InputFile& left, const InputFile& right);

// Reads the pair's two sheets of the workbooks `left` and `right` were read from, proposes their
// mapping and key, and compares them when a key was found, through the engine's one comparison of a
// pair. A sheet that fails to read, or a pair without a key, is recorded in `problem`; a
// cancellation passes through.
void comparePairFromFiles(SheetPair& pair, const InputFile& left, const InputFile& right, bool ignoreCase,
                          std::stop_token stop);

// Compares a pair read before, with its mapping as it is now.
void comparePair(SheetPair& pair, bool ignoreCase, std::stop_token stop);

// Writes every pair's whole result to the workbook at `path` as one whole: a Summary sheet, then a
// worksheet per compared pair. Returns the differences written; fails with OperationCancelled when
// `stop` is requested before the workbook is committed.
std::size_t saveAllSheets(const std::filesystem::path& path, const WorkbookPairing& pairing,
                          const std::string& leftName, const std::string& rightName, std::stop_token stop);

// Whether the mapping can compare the two tables: a key with a File B column, and every column
// within its table and paired with one of its kind.
bool canCompareTables(const table::Table& left, const table::Table& right,
                      const std::vector<records::ColumnMapping>& mappings);

}  // namespace rowlark::model
