#pragma once

// Whole workbooks compared sheet by sheet: the sheets of both files paired, then each pair read,
// mapped, keyed and compared on its own, one pair after another, so that only one pair's tables
// are held at a time. The command line and the app both compare a pair through compareSheetPair.

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/records/Mapping.h"
#include "engine/results/ComparisonRun.h"
#include "engine/table/Table.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/SheetPairing.h"

namespace rowlark::results {

// The two workbooks and how they are read.
struct WorkbookFiles {
    std::filesystem::path left;
    std::filesystem::path right;
    workbook::FileImport::ReaderLocations locations = workbook::FileImport::defaultReaderLocations();
    workbook::FileImport::WorkbookReader reader = workbook::FileImport::defaultWorkbookReader();
};

// A workbook's sheet list could not be read; the message names the side and the file.
class SheetListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The sheets of both workbooks, paired. Both lists are read at once; fails with SheetListError
// (File A's failure first when both fail, a line each), and with ImportCancelled once `stop` is
// requested.
workbook::SheetPairing pairWorkbookSheets(const WorkbookFiles& files, std::stop_token stop = {});

// Whether the mapping has a key column that is mapped to a File B column.
bool hasUsableKey(const std::vector<records::ColumnMapping>& mappings);

// What the command line or the user changes in a pair's proposed mapping before it is compared.
// A change that cannot be made throws an exception whose message becomes the pair's error.
using MappingEdit =
    std::function<void(const table::Table& left, const table::Table& right, records::MappingAnalysisResult& analysis)>;

struct SheetComparison {
    workbook::SheetPair sheets;
    std::vector<std::string> leftHeaders;
    std::vector<std::string> rightHeaders;
    records::MappingAnalysisResult analysis;   // the proposal with the edit made, as compared
    std::optional<ComparisonOutcome> outcome;  // none when the pair failed
    std::string error;                         // why it failed; empty when it did not
};

// The message of a pair without a usable key.
inline constexpr std::string_view noKeyMessage = "No row key was found for these sheets.";

// Reads the pair's two sheets side by side, proposes the mapping and key, makes `edit`, and
// compares by what the edit left. A sheet that cannot be read (its message naming the side and
// the file), an edit that fails, or a mapping without a usable key make the pair's error instead
// of an outcome. Fails only with ImportCancelled once `stop` is requested, or with what
// `checkpoint` throws; the checkpoint runs between the steps.
SheetComparison compareSheetPair(const WorkbookFiles& files, const workbook::SheetPair& pair, bool ignoreCase,
                                 const MappingEdit& edit = {}, std::stop_token stop = {},
                                 const std::function<void()>& checkpoint = {});

// Every pair of `pairing` in its order, each handed to `finished` before the next one is read.
void compareSheetPairs(const WorkbookFiles& files, const workbook::SheetPairing& pairing, bool ignoreCase,
                       const MappingEdit& edit, const std::function<void(SheetComparison)>& finished,
                       std::stop_token stop = {}, const std::function<void()>& checkpoint = {});

}  // namespace rowlark::results
