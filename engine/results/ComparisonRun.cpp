#include "results/ComparisonRun.h"

#include <chrono>

#include "analysis/KeyDiagnostics.h"
#include "compare/RecordMatching.h"

namespace rowlark {

ComparisonOutcome runComparison(const CSVTable& left, const CSVTable& right, std::string_view leftName,
                                std::string_view rightName, const std::vector<ColumnMapping>& mappings,
                                bool ignoreCase, const std::function<void()>& checkpoint)
{
    const auto start = std::chrono::steady_clock::now();
    ComparisonOutcome outcome;
    outcome.summary = CSVComparator::compare(left, right, mappings, ignoreCase);
    if (checkpoint)
        checkpoint();
    outcome.index = ResultIndex(outcome.summary);
    std::vector<std::int64_t> leftKey;
    std::vector<std::int64_t> rightKey;
    for (const ColumnMapping& mapping : mappings) {
        if (mapping.isKey && mapping.rightIndex) {
            leftKey.push_back(mapping.leftIndex);
            rightKey.push_back(*mapping.rightIndex);
        }
    }
    outcome.keyWarning = keyWarning(KeyDiagnostics(left, leftKey, ignoreCase), leftName,
                                    KeyDiagnostics(right, rightKey, ignoreCase), rightName);
    outcome.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

}  // namespace rowlark
