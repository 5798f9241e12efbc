#pragma once

// How usable a table's row key is: rows whose key has an empty part, and keys that several rows
// share. Keys are read exactly as the comparison reads them, so the counts agree with how records
// were matched.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/table/Table.h"

namespace rowlark::compare {

class ComparableColumns;
class KeyGroups;

struct KeyDiagnostics {
    std::int64_t emptyKeyRows = 0;       // rows whose key is empty or has an empty part
    std::int64_t repeatedKeyGroups = 0;  // distinct keys shared by two or more rows

    KeyDiagnostics() = default;
    // `keyIndices` are the table's key columns in mapping order; an index outside the table reads
    // as an empty part. `workers` as for the comparison (0: one per core).
    KeyDiagnostics(const table::Table& table, const std::vector<std::int64_t>& keyIndices, bool ignoreCase,
                   unsigned workers = 0);
    // The same counts from keys already normalized and grouped: `forms` is side `side` of `groups`.
    KeyDiagnostics(const ComparableColumns& forms, const KeyGroups& groups, std::size_t side);

    bool operator==(const KeyDiagnostics&) const = default;
};

// The warning about both files' keys, or the empty text when neither has a problem.
std::string keyWarning(const KeyDiagnostics& left, std::string_view leftName, const KeyDiagnostics& right,
                       std::string_view rightName);

}  // namespace rowlark::compare
