#include "results/ResultIndex.h"

#include <algorithm>
#include <limits>

#include "compare/Parallel.h"
#include "text/Unicode.h"

namespace rowlark {
namespace {

constexpr char pieceSeparator = '\0';
// Search texts are built in parallel, this many differences per task.
constexpr std::size_t searchTextsPerTask = 2048;

// Lower-cased and canonically composed, so that byte containment is containment of the texts.
std::string searchForm(std::string_view text)
{
    std::string lower = text::lowercased(text);
    return text::isASCII(lower) ? lower : text::nfc(lower);
}

void appendPieces(std::string& text, const std::optional<std::vector<std::string>>& row)
{
    if (!row)
        return;
    for (const std::string& cell : *row) {
        text.push_back(pieceSeparator);
        text.append(cell);
    }
}

// The key and every cell of both rows, each piece apart from the next so that no query can
// match across two of them.
std::string searchText(const RowDifference& difference)
{
    std::string text = difference.key;
    appendPieces(text, difference.leftRow);
    appendPieces(text, difference.rightRow);
    return searchForm(text);
}

ResultFilter statusFilter(DiffStatus status)
{
    switch (status) {
    case DiffStatus::changed:
        return ResultFilter::changed;
    case DiffStatus::onlyLeft:
        return ResultFilter::onlyLeft;
    case DiffStatus::onlyRight:
        return ResultFilter::onlyRight;
    }
    return ResultFilter::all;
}

// Judged on the values as read: a value that only compares as empty ("NULL") does not count.
bool hasEmptyValue(const RowDifference& difference)
{
    return std::any_of(difference.cells.begin(), difference.cells.end(), [](const CellDifference& cell) {
        return text::isBlank(cell.leftValue) || text::isBlank(cell.rightValue);
    });
}

}  // namespace

ResultIndex::ResultIndex(const ComparisonSummary& summary)
{
    const std::vector<RowDifference>& differences = summary.differences;
    for (std::size_t position = 0; position < differences.size(); ++position) {
        const RowDifference& difference = differences[position];
        groups[ResultFilter::all].push_back(position);
        groups[statusFilter(difference.status)].push_back(position);
        if (hasEmptyValue(difference))
            groups[ResultFilter::emptyValues].push_back(position);
    }
    searchable.resize(differences.size());
    const std::size_t tasks = (differences.size() + searchTextsPerTask - 1) / searchTextsPerTask;
    runInParallel(tasks, 0, [&](std::size_t task) {
        const std::size_t end = std::min(differences.size(), (task + 1) * searchTextsPerTask);
        for (std::size_t position = task * searchTextsPerTask; position < end; ++position)
            searchable[position] = searchText(differences[position]);
    });
}

const std::vector<std::size_t>& ResultIndex::positions(ResultFilter filter) const
{
    static const std::vector<std::size_t> none;
    const auto group = groups.find(filter);
    return group == groups.end() ? none : group->second;
}

std::vector<std::size_t> ResultIndex::matching(ResultFilter filter, std::string_view query) const
{
    const std::vector<std::size_t>& group = positions(filter);
    const std::string needle = searchForm(text::trimmed(query));
    if (needle.empty())
        return group;
    // The separator itself would let a query span two pieces.
    if (needle.find(pieceSeparator) != std::string::npos)
        return {};
    std::vector<std::size_t> found;
    std::copy_if(group.begin(), group.end(), std::back_inserter(found), [&](std::size_t position) {
        return position < searchable.size() && searchable[position].find(needle) != std::string::npos;
    });
    return found;
}

std::vector<std::size_t> ResultIndex::page(std::span<const std::size_t> indices, std::int64_t number,
                                           std::int64_t size)
{
    if (number < 0 || size < 1 || number > std::numeric_limits<std::int64_t>::max() / size)
        return {};
    const auto start = static_cast<std::uint64_t>(number * size);
    if (start >= indices.size())
        return {};
    const std::size_t end = std::min<std::uint64_t>(indices.size(), start + static_cast<std::uint64_t>(size));
    return {indices.begin() + static_cast<std::ptrdiff_t>(start), indices.begin() + static_cast<std::ptrdiff_t>(end)};
}

}  // namespace rowlark
