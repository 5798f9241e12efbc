#pragma once

// What rowlark-compare prints: the summary of a comparison or the mapping, as text for people or
// as one JSON object for scripts. The JSON shapes are a public interface and stay as they are.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/Mapping.h"
#include "engine/results/ComparisonRun.h"
#include "engine/table/Table.h"
#include "engine/workbook/SheetPairing.h"

namespace rowlark::cli {

struct FileNames {
    std::string left;
    std::string right;
};

// The differences --filter and --search chose, and where their report went.
struct Selection {
    bool isNarrowed = false;  // a filter other than all, or a search text
    std::size_t count = 0;
    std::optional<std::string> reportPath;
    std::optional<std::size_t> maxDifferences;  // how many of them --max-differences allows
    bool isTimed = true;                        // the time taken is shown
};

struct MappingTables {
    const std::vector<std::string>& leftHeaders;
    const std::vector<std::string>& rightHeaders;
    const std::vector<records::ColumnMapping>& mappings;
    const std::vector<std::vector<records::HeaderSuggestion>>& suggestions;
};

void writeSummary(std::ostream& out, const FileNames& names, const results::ComparisonOutcome& outcome,
                  const Selection& selection);
void writeSummaryJSON(std::ostream& out, const FileNames& names, const results::ComparisonOutcome& outcome);

// One pair of sheets of --all-sheets: its outcome, or why it has none.
struct PairResult {
    const workbook::SheetPair& sheets;
    const results::ComparisonOutcome* outcome;  // none when the pair failed
    std::string_view error;
};

// "Sheet “Jan” ↔ “jan”", a hidden sheet followed by " (hidden)".
void writePairHeading(std::ostream& out, const workbook::SheetPair& pair);
// "Error: " and the pair's error.
void writePairError(std::ostream& out, std::string_view error);
// "Sheets only in a.xlsx: “Notes”, “Old” (hidden)", a line a file that has any.
void writeUnpairedSheets(std::ostream& out, const FileNames& names, const workbook::SheetPairing& pairing);
// {"sheets": [{"left", "right", "leftHidden", "rightHidden", "summary" or "error"}],
//  "onlyInLeft": [{"name", "hidden"}], "onlyInRight": [...]}, each summary as writeSummaryJSON has it.
void writeSheetsJSON(std::ostream& out, const FileNames& names, const std::vector<PairResult>& pairs,
                     const workbook::SheetPairing& pairing);

void writeMapping(std::ostream& out, const MappingTables& tables);

// The table as read: the header row, then the rows; CSV with every field quoted, LF line ends.
void writeTable(std::ostream& out, const table::Table& table);
void writeMappingJSON(std::ostream& out, const MappingTables& tables);

}  // namespace rowlark::cli
