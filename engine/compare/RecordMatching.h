#pragma once

// Matching the records of two tables by key, whatever their order, and listing every changed,
// only-left and only-right record.

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/compare/KeyDiagnostics.h"
#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/table/Table.h"

namespace rowlark::compare {

// A mapping names a column that its table does not have: the mapping was built for other files.
class InvalidMappingError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Compares the columns of the active mappings (with a right column, and included or key) with the
// key mappings as row key (the first active mapping when none is a key). Differences come sorted
// by key; within a key, changed records, then only-left, then only-right. `workers` threads share
// the work (0: one per core); the result does not depend on their number, apart from the random
// ids. Fails with InvalidMappingError when an active mapping's index lies outside its table.
records::ComparisonSummary compare(const table::Table& left, const table::Table& right,
                                   const std::vector<records::ColumnMapping>& mappings, bool ignoreCase,
                                   unsigned workers = 0);

struct ComparisonWithKeys {
    records::ComparisonSummary summary;
    KeyDiagnostics leftKeys;
    KeyDiagnostics rightKeys;
};

// compare, and KeyDiagnostics of each table over the key columns of the key mappings (in mapping
// order, with a right column), counted from the keys the comparison has already normalized and
// grouped. Without a key mapping the tables have no key columns, although the comparison matches
// records by the first active mapping.
ComparisonWithKeys compareWithKeyDiagnostics(const table::Table& left, const table::Table& right,
                                             const std::vector<records::ColumnMapping>& mappings, bool ignoreCase,
                                             unsigned workers = 0);

}  // namespace rowlark::compare
