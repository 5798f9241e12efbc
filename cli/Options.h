#pragma once

// The command line of rowlark-compare, read into plain options. Column names stay as written:
// they can only be resolved once both files are loaded.

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/GitDiff.h"
#include "engine/records/ResultFilter.h"
#include "engine/workbook/FileImport.h"

namespace rowlark::cli {

// A command line that cannot be carried out; `what()` says what was wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string leftPath;
    std::string rightPath;
    std::optional<std::string> leftSheet;
    std::optional<std::string> rightSheet;
    std::vector<std::string> columnChoices;  // each "A=B", in the order given
    std::vector<std::string> keyColumns;
    std::vector<std::string> excludedColumns;
    std::vector<std::string> ruleChoices;  // each "COLUMN=RULE", in the order given
    bool isTakingProposedRules = false;    // --rules proposed
    bool isIgnoringCase = false;
    bool isMappingOnly = false;
    bool isAllSheets = false;  // --all-sheets: compare every pair of sheets of two workbooks
    bool isJSON = false;
    bool isHelpRequested = false;
    bool isVersionRequested = false;
    records::ResultFilter filter = records::ResultFilter::all;
    std::string search;
    std::optional<std::string> changedColumn;  // --column: only the records changed in this File A column
    std::optional<std::string> reportPath;     // "-" for standard output
    // --max-differences: the exit status says whether the selected differences number at most this.
    std::optional<std::size_t> maxDifferences;
    std::optional<std::string> shownTablePath;  // --show-table: print this file's table and stop
    std::optional<std::string> shownSheet;
    workbook::FileImport::WorkbookReader reader = workbook::FileImport::defaultWorkbookReader();
    // What splits the fields of CSV texts: --separator for every file, --separator-a and
    // --separator-b for one; detected when none.
    std::optional<csv::Separator> separator;
    std::optional<csv::Separator> leftSeparator;
    std::optional<csv::Separator> rightSeparator;
    std::optional<GitDiffFiles> gitDiff;  // run by git as its external diff, with these files
    // --setup: the saved setup to compare by; FILE_A and FILE_B, when given, replace its files.
    std::optional<std::string> setupPath;
    std::optional<std::string> savedSetupPath;  // --save-setup: where to save this comparison's setup
    // Whether --filter and --search were given, which then replace the setup's.
    bool isFilterGiven = false;
    bool isSearchGiven = false;
};

// The name of the standard output as a report destination.
inline constexpr std::string_view standardOutputPath = "-";

// Reads the arguments after the program name. Fails with UsageError.
Options parseOptions(std::span<const std::string_view> arguments);

// The filter named on the command line ("only-a", ...), or none for an unknown name.
std::optional<records::ResultFilter> filterFromOptionName(std::string_view name);

std::string_view helpText();

}  // namespace rowlark::cli
