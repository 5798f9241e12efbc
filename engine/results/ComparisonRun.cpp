#include "engine/results/ComparisonRun.h"

#include <chrono>
#include <utility>

#include "engine/compare/KeyDiagnostics.h"
#include "engine/compare/RecordMatching.h"

namespace rowlark::results {

ComparisonOutcome runComparison(const table::Table& left, const table::Table& right, std::string_view leftName,
                                std::string_view rightName, const std::vector<records::ColumnMapping>& mappings,
                                bool ignoreCase, const std::function<void()>& checkpoint)
{
    const auto start = std::chrono::steady_clock::now();
    // The key diagnostics come from the keys the comparison has already normalized and grouped.
    compare::ComparisonWithKeys compared = compare::compareWithKeyDiagnostics(left, right, mappings, ignoreCase);
    if (checkpoint)
        checkpoint();
    ComparisonOutcome outcome;
    outcome.index = ResultIndex(compared.summary);
    outcome.summary = std::move(compared.summary);
    outcome.keyWarning = keyWarning(compared.leftKeys, leftName, compared.rightKeys, rightName);
    outcome.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.comparedAt = std::chrono::system_clock::now();
    return outcome;
}

}  // namespace rowlark::results
