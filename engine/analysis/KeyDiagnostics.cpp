#include "analysis/KeyDiagnostics.h"

#include <limits>
#include <numeric>

#include "compare/ComparableColumns.h"
#include "compare/KeyGroups.h"

namespace rowlark {
namespace {

// A negative index names no column; the largest index does the same.
std::vector<std::size_t> columnsOf(const std::vector<std::int64_t>& keyIndices)
{
    std::vector<std::size_t> columns;
    columns.reserve(keyIndices.size());
    for (const std::int64_t index : keyIndices)
        columns.push_back(index < 0 ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(index));
    return columns;
}

bool hasEmptyPart(const CSVComparator::ComparableColumns& key, std::size_t row)
{
    for (std::size_t position = 0; position < key.width(); ++position)
        if (key.form(row, position).empty())
            return true;
    return key.width() == 0;
}

}  // namespace

KeyDiagnostics::KeyDiagnostics(const CSVTable& table, const std::vector<std::int64_t>& keyIndices, bool ignoreCase,
                               unsigned workers)
{
    std::vector<std::size_t> positions(keyIndices.size());
    std::iota(positions.begin(), positions.end(), 0);
    const CSVComparator::ComparableColumns key(table, columnsOf(keyIndices), std::move(positions), ignoreCase,
                                               workers);
    for (std::size_t row = 0; row < key.rowCount(); ++row)
        if (hasEmptyPart(key, row))
            ++emptyKeyRows;
    const CSVComparator::KeyGroups groups(key, nullptr);
    for (std::size_t group = 0; group < groups.keyCount(); ++group)
        if (groups.rows(0, group).size() >= 2)
            ++repeatedKeyGroups;
}

std::string keyWarning(const KeyDiagnostics& left, std::string_view leftName, const KeyDiagnostics& right,
                       std::string_view rightName)
{
    std::string warning;
    const auto sentence = [&](std::string_view start, std::int64_t leftCount, std::string_view leftFile,
                              std::int64_t rightCount, std::string_view end) {
        if (!warning.empty())
            warning += ' ';
        warning.append(start).append(std::to_string(leftCount)).append(leftFile).append(leftName).append(", ");
        warning.append(std::to_string(rightCount)).append(" in ").append(rightName).append(end);
    };
    if (left.emptyKeyRows + right.emptyKeyRows > 0)
        sentence("Empty key components: ", left.emptyKeyRows, " in ", right.emptyKeyRows, ".");
    if (left.repeatedKeyGroups + right.repeatedKeyGroups > 0)
        sentence("Repeated keys: ", left.repeatedKeyGroups, " groups in ", right.repeatedKeyGroups,
                 ". Add another key column if these are distinct records.");
    return warning;
}

}  // namespace rowlark
