#pragma once

// One comparison as the results screen and the command line need it: the records matched, the
// result indexed and both keys measured, timed as a whole.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/results/ResultIndex.h"
#include "engine/table/Table.h"

namespace rowlark::results {

struct ComparisonOutcome {
    records::ComparisonSummary summary;
    ResultIndex index;
    double elapsed = 0;                                // wall-clock seconds of the whole run
    std::chrono::system_clock::time_point comparedAt;  // when the run finished
    std::string keyWarning;                            // empty when both keys are present and unique
};

// Compares the tables, indexes the result and builds the key warning with the files' names.
// `checkpoint`, when given, runs between the comparison and the index; a caller that wants to
// stop there throws from it.
ComparisonOutcome runComparison(const table::Table& left, const table::Table& right, std::string_view leftName,
                                std::string_view rightName, const std::vector<records::ColumnMapping>& mappings,
                                bool ignoreCase, const std::function<void()>& checkpoint = {});

}  // namespace rowlark::results
