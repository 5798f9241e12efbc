// Compares two small tables the way the application does: the input is an options byte (bit 0:
// ignore letter case), then File A's CSV text, a NUL byte and File B's CSV text. Both are
// parsed and expanded, analysed, and compared by the proposed mapping; every record is counted
// once, and a table compared with itself column by column has no difference.

#include "analysis/MappingAnalysis.h"
#include "compare/RecordMatching.h"
#include "csv/CSVError.h"
#include "table/CSVTable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rowlark;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::optional<CSVTable> table(std::string_view text)
{
    try {
        return CSVTable::parse(std::string(text)).expandingStructuredColumns();
    } catch (const CSVError&) {
        return std::nullopt;
    }
}

std::int64_t countOf(const ComparisonSummary& summary, DiffStatus status)
{
    return std::count_if(summary.differences.begin(), summary.differences.end(),
                         [status](const RowDifference& difference) { return difference.status == status; });
}

void checkCounts(const ComparisonSummary& summary, const CSVTable& left, const CSVTable& right)
{
    const std::int64_t changed = countOf(summary, DiffStatus::changed);
    check(summary.leftRows == static_cast<std::int64_t>(left.rowCount()));
    check(summary.rightRows == static_cast<std::int64_t>(right.rowCount()));
    check(summary.matchingRows + changed + countOf(summary, DiffStatus::onlyLeft) == summary.leftRows);
    check(summary.matchingRows + changed + countOf(summary, DiffStatus::onlyRight) == summary.rightRows);
    for (const RowDifference& difference : summary.differences) {
        check(difference.leftRow.has_value() == (difference.status != DiffStatus::onlyRight));
        check(difference.rightRow.has_value() == (difference.status != DiffStatus::onlyLeft));
        check(difference.cells.empty() == (difference.status != DiffStatus::changed));
    }
}

// Every column mapped to itself, the first one the key.
std::vector<ColumnMapping> identityMappings(const CSVTable& table)
{
    std::vector<ColumnMapping> mappings;
    for (std::size_t column = 0; column < table.columnCount(); ++column) {
        ColumnMapping& mapping = mappings.emplace_back();
        mapping.leftIndex = static_cast<std::int64_t>(column);
        mapping.rightIndex = static_cast<std::int64_t>(column);
        mapping.isKey = column == 0;
        mapping.isIncluded = true;
    }
    return mappings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool ignoreCase = (data[0] & 1) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t separator = std::min(input.find('\0'), input.size());
    const auto left = table(input.substr(0, separator));
    const auto right = table(input.substr(std::min(separator + 1, input.size())));
    if (!left || !right)
        return 0;

    const MappingAnalysisResult analysis = CSVComparator::analyzeMappings(*left, *right);
    check(analysis.mappings.size() == left->columnCount() && analysis.suggestions.size() == left->columnCount());
    const auto compared = CSVComparator::compareWithKeyDiagnostics(*left, *right, analysis.mappings, ignoreCase, 1);
    checkCounts(compared.summary, *left, *right);

    const ComparisonSummary itself = CSVComparator::compare(*left, *left, identityMappings(*left), ignoreCase, 1);
    checkCounts(itself, *left, *left);
    check(itself.differences.empty());
    return 0;
}
