#pragma once

// The mapping edits of the command line (--map, --key, --exclude, --rules, --rule), applied in the
// order a user would make them on the mapping screen.

#include <string>
#include <vector>

#include "cli/Options.h"
#include "engine/records/Mapping.h"
#include "engine/table/Table.h"

namespace rowlark::cli {

// One loaded file as the edits name it: "File A (a.csv)".
struct NamedTable {
    const table::Table& table;
    std::string description;
};

// The position of the column that `reference` names: "#N" for the N-th column (from 1), else
// the first column whose header is exactly `reference`. Fails with UsageError.
std::int64_t resolveColumn(const NamedTable& side, std::string_view reference);

// Applies every --map in the order given, then --key, --exclude, --rules proposed and every --rule.
// Returns the notices of the manual choices that re-mapped related columns. Fails with UsageError.
std::vector<std::string> applyColumnEdits(const Options& options, const NamedTable& left, const NamedTable& right,
                                          std::vector<records::ColumnMapping>& mappings);

}  // namespace rowlark::cli
