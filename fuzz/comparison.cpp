// Compares two small tables the way the application does: the input is an options byte (bit 0:
// ignore letter case; bits 1 to 3: a comparison rule for every column; bit 4: the key's too), then
// File A's CSV text, a NUL byte and File B's CSV text. Both are parsed and expanded, analysed, and
// compared by the proposed mapping, as read and under the rule; every record is counted once, the
// changes a proposed rule undoes are some of the changes, and a table compared with itself column
// by column has no difference under any rule.

#include "engine/analysis/MappingAnalysis.h"
#include "engine/compare/RecordMatching.h"
#include "engine/csv/CSVError.h"
#include "engine/table/Table.h"

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

std::optional<table::Table> parsedTable(std::string_view text)
{
    try {
        return table::Table::parse(std::string(text)).expandingStructuredColumns();
    } catch (const csv::CSVError&) {
        return std::nullopt;
    }
}

std::int64_t countOf(const records::ComparisonSummary& summary, records::DiffStatus status)
{
    return std::count_if(summary.differences.begin(), summary.differences.end(),
                         [status](const records::RowDifference& difference) { return difference.status == status; });
}

void checkCounts(const records::ComparisonSummary& summary, const table::Table& left, const table::Table& right)
{
    const std::int64_t changed = countOf(summary, records::DiffStatus::changed);
    check(summary.leftRows == static_cast<std::int64_t>(left.rowCount()));
    check(summary.rightRows == static_cast<std::int64_t>(right.rowCount()));
    check(summary.matchingRows + changed + countOf(summary, records::DiffStatus::onlyLeft) == summary.leftRows);
    check(summary.matchingRows + changed + countOf(summary, records::DiffStatus::onlyRight) == summary.rightRows);
    for (const records::RowDifference& difference : summary.differences) {
        check(difference.leftRow.has_value() == (difference.status != records::DiffStatus::onlyRight));
        check(difference.rightRow.has_value() == (difference.status != records::DiffStatus::onlyLeft));
        check(difference.cells.empty() == (difference.status != records::DiffStatus::changed));
    }
}

// The rules bits 1 to 3 of the options byte choose.
const values::ComparisonRule& chosenRule(std::uint8_t options)
{
    static const std::vector<values::ComparisonRule> rules = [] {
        std::vector<values::ComparisonRule> all;
        for (const char* text : {"as-read", "number:abs=0.5", "date", "datetime:seconds=1,order=dmy", "yesno",
                                 "text:case,space,punct", "ignore", "number:rel=0.01"})
            all.push_back(values::ComparisonRule::fromText(text));
        return all;
    }();
    return rules[(options >> 1) & 7];
}

std::vector<records::ColumnMapping> withRule(std::vector<records::ColumnMapping> mappings,
                                             const values::ComparisonRule& rule, bool isKeyRuled)
{
    for (records::ColumnMapping& mapping : mappings)
        if (!mapping.isKey || (isKeyRuled && rule.isComparing()))
            mapping.rule = rule;
    return mappings;
}

void checkFormatOnly(const records::ComparisonSummary& summary)
{
    for (const records::ColumnChanges& column : summary.columns)
        check(column.formatOnlyRecords >= 0 && column.formatOnlyRecords <= column.changedRecords);
}

// Every column mapped to itself, the first one the key.
std::vector<records::ColumnMapping> identityMappings(const table::Table& table)
{
    std::vector<records::ColumnMapping> mappings;
    for (std::size_t column = 0; column < table.columnCount(); ++column) {
        records::ColumnMapping& mapping = mappings.emplace_back();
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
    const auto left = parsedTable(input.substr(0, separator));
    const auto right = parsedTable(input.substr(std::min(separator + 1, input.size())));
    if (!left || !right)
        return 0;

    const records::MappingAnalysisResult analysis = analysis::analyzeMappings(*left, *right);
    check(analysis.mappings.size() == left->columnCount() && analysis.suggestions.size() == left->columnCount());
    const auto compared = compare::compareWithKeyDiagnostics(*left, *right, analysis.mappings, ignoreCase, 1);
    checkCounts(compared.summary, *left, *right);
    checkFormatOnly(compared.summary);

    const values::ComparisonRule& rule = chosenRule(data[0]);
    const bool isKeyRuled = (data[0] & 16) != 0;
    const auto ruled =
        compare::compareWithKeyDiagnostics(*left, *right, withRule(analysis.mappings, rule, isKeyRuled), ignoreCase, 1);
    checkCounts(ruled.summary, *left, *right);
    checkFormatOnly(ruled.summary);

    const records::ComparisonSummary itself =
        compare::compare(*left, *left, withRule(identityMappings(*left), rule, isKeyRuled), ignoreCase, 1);
    checkCounts(itself, *left, *left);
    check(itself.differences.empty());
    return 0;
}
