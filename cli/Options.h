#pragma once

// The command line of rowlark-compare, read into plain options. Column names stay as written:
// they can only be resolved once both files are loaded.

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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
    bool isJSON = false;
    bool isHelpRequested = false;
    bool isVersionRequested = false;
    records::ResultFilter filter = records::ResultFilter::all;
    std::string search;
    std::optional<std::string> changedColumn;   // --column: only the records changed in this File A column
    std::optional<std::string> reportPath;      // "-" for standard output
    std::optional<std::string> shownTablePath;  // --show-table: print this file's table and stop
    std::optional<std::string> shownSheet;
    workbook::FileImport::WorkbookReader reader = workbook::FileImport::defaultWorkbookReader();
};

// The name of the standard output as a report destination.
inline constexpr std::string_view standardOutputPath = "-";

// Reads the arguments after the program name. Fails with UsageError.
Options parseOptions(std::span<const std::string_view> arguments);

// The filter named on the command line ("only-a", ...), or none for an unknown name.
std::optional<records::ResultFilter> filterFromOptionName(std::string_view name);

std::string_view helpText();

}  // namespace rowlark::cli
