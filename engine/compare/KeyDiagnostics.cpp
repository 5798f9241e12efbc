#include "engine/compare/KeyDiagnostics.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "engine/compare/ComparableColumns.h"
#include "engine/compare/KeyGroups.h"

namespace rowlark::compare {
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

bool hasEmptyPart(const ComparableColumns& forms, std::size_t row)
{
    const std::size_t parts = forms.keyPositions().size();
    for (std::size_t part = 0; part < parts; ++part)
        if (forms.keyForm(row, part).empty())
            return true;
    return parts == 0;
}

}  // namespace

KeyDiagnostics::KeyDiagnostics(const table::Table& table, const std::vector<std::int64_t>& keyIndices, bool ignoreCase,
                               unsigned workers)
{
    std::vector<std::size_t> positions(keyIndices.size());
    std::iota(positions.begin(), positions.end(), 0);
    const ComparableColumns key(table, columnsOf(keyIndices), std::move(positions), ignoreCase, workers);
    *this = KeyDiagnostics(key, KeyGroups(key, nullptr, workers), 0);
}

KeyDiagnostics::KeyDiagnostics(const ComparableColumns& forms, const KeyGroups& groups, std::size_t side)
{
    for (std::size_t row = 0; row < forms.rowCount(); ++row)
        if (hasEmptyPart(forms, row))
            ++emptyKeyRows;
    for (std::size_t key = 0; key < groups.keyCount(); ++key)
        if (groups.rows(side, key).size() >= 2)
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
        sentence("Repeated keys: ", left.repeatedKeyGroups, left.repeatedKeyGroups == 1 ? " group in " : " groups in ",
                 right.repeatedKeyGroups, ". Add another key column if these are distinct records.");
    return warning;
}

}  // namespace rowlark::compare
