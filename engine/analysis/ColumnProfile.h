#pragma once

// What a column holds, judged from its first rows: its kind, its distinct values and how unique
// they are. Feeds the data half of suggestion scoring.

#include <cstdint>
#include <string>
#include <unordered_set>

#include "engine/analysis/ColumnKind.h"
#include "engine/table/Table.h"

namespace rowlark::analysis {

struct ColumnProfile {
    ColumnKind kind = ColumnKind::empty;
    // Lower-case forms of the first 750 non-blank sample values, each in NFC so that canonically
    // equivalent values count once.
    std::unordered_set<std::string> values;
    // values.size() divided by the number of non-blank sample values; 0 for an empty column.
    double uniqueRatio = 0;

    bool operator==(const ColumnProfile&) const = default;
};

// Profiles the column from the table's first 1,000 rows. Any index is accepted; one that no row
// reaches gives an empty profile.
ColumnProfile profile(const table::Table& table, std::int64_t column);

}  // namespace rowlark::analysis
