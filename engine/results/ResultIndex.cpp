#include "engine/results/ResultIndex.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/table/Parallel.h"
#include "engine/text/Unicode.h"

namespace rowlark::results {
namespace {

constexpr char pieceSeparator = '\0';
// Search texts are built in parallel tasks of this many differences.
constexpr std::size_t differencesPerTask = 4096;

// Runs `work(begin, end)` over consecutive slices of [0, count) on every core.
template<typename Work> void forEachSlice(std::size_t count, Work&& work)
{
    const std::size_t tasks = (count + differencesPerTask - 1) / differencesPerTask;
    table::runInParallel(tasks, 0, [&](std::size_t task) {
        const std::size_t begin = task * differencesPerTask;
        work(begin, std::min(count, begin + differencesPerTask));
    });
}

// Lower-cased and canonically composed, so that byte containment is containment of the texts.
std::string searchForm(std::string_view text)
{
    std::string lower = text::lowercased(text);
    return text::isASCII(lower) ? lower : text::nfc(lower);
}

// Pieces are lower-cased one by one, which gives the same text as lower-casing the whole: the
// separator is neither cased nor case-ignorable, so no casing context reaches across it.
void appendSearchForm(std::string& text, std::string_view piece)
{
    if (!text::isASCII(piece)) {
        text.append(searchForm(piece));
        return;
    }
    const std::size_t start = text.size();
    text.append(piece);
    std::transform(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(),
                   text.begin() + static_cast<std::ptrdiff_t>(start),
                   [](char byte) { return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + ('a' - 'A')) : byte; });
}

void appendPieces(std::string& text, const std::optional<std::vector<std::string>>& row)
{
    if (!row)
        return;
    for (const std::string& cell : *row) {
        text.push_back(pieceSeparator);
        appendSearchForm(text, cell);
    }
}

// The key and every cell of both rows, each piece apart from the next so that no query can
// match across two of them.
std::string searchText(const records::RowDifference& difference)
{
    std::string text;
    appendSearchForm(text, difference.key);
    appendPieces(text, difference.leftRow);
    appendPieces(text, difference.rightRow);
    return text;
}

// Finds one query in many texts. Tests 16 start positions at a time for the query's first and
// last byte, so that a common first letter (the "s" of "son") does not stop the scan at every
// occurrence; only positions where both bytes fit are compared in full.
class QueryScanner {
public:
    explicit QueryScanner(std::string_view query)
        : query_(query)
        , first_(Block{} + query.front())
        , last_(Block{} + query.back())
    {
    }

    bool isIn(std::string_view text) const
    {
        const std::size_t length = query_.size();
        if (length > text.size())
            return false;
        if (length == 1)
            return text.find(query_.front()) != std::string_view::npos;
        const std::string_view middle = query_.substr(1, length - 2);
        const std::size_t starts = text.size() - length + 1;
        std::size_t start = 0;
        for (; start + width <= starts; start += width) {
            Block heads;
            Block tails;
            std::memcpy(&heads, text.data() + start, width);
            std::memcpy(&tails, text.data() + start + length - 1, width);
            const Block candidates = (heads == first_) & (tails == last_);
            std::uint64_t halves[2];
            std::memcpy(halves, &candidates, width);
            if ((halves[0] | halves[1]) == 0)
                continue;
            for (std::size_t lane = 0; lane < width; ++lane)
                if (candidates[lane] && text.compare(start + lane + 1, middle.size(), middle) == 0)
                    return true;
        }
        return text.substr(start).find(query_) != std::string_view::npos;
    }

private:
    using Block = char __attribute__((vector_size(16)));
    static constexpr std::size_t width = sizeof(Block);

    std::string_view query_;
    Block first_;  // the first byte in every lane
    Block last_;
};

records::ResultFilter statusFilter(records::DiffStatus status)
{
    switch (status) {
    case records::DiffStatus::changed:
        return records::ResultFilter::changed;
    case records::DiffStatus::onlyLeft:
        return records::ResultFilter::onlyLeft;
    case records::DiffStatus::onlyRight:
        return records::ResultFilter::onlyRight;
    }
    return records::ResultFilter::all;
}

// Judged on the values as read: a value that only compares as empty ("NULL") does not count.
bool hasEmptyValue(const records::RowDifference& difference)
{
    return std::any_of(difference.cells.begin(), difference.cells.end(), [](const records::CellDifference& cell) {
        return text::isBlank(cell.leftValue) || text::isBlank(cell.rightValue);
    });
}

}  // namespace

ResultIndex::ResultIndex(const records::ComparisonSummary& summary)
    : columnGroups(summary.columns.size())
{
    const std::vector<records::RowDifference>& differences = summary.differences;
    for (std::size_t position = 0; position < differences.size(); ++position) {
        const records::RowDifference& difference = differences[position];
        groups[records::ResultFilter::all].push_back(position);
        groups[statusFilter(difference.status)].push_back(position);
        if (hasEmptyValue(difference))
            groups[records::ResultFilter::emptyValues].push_back(position);
        for (const records::CellDifference& cell : difference.cells)
            if (cell.column < columnGroups.size())
                columnGroups[cell.column].push_back(position);
    }
    searchable.resize(differences.size());
    forEachSlice(differences.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t position = begin; position < end; ++position)
            searchable[position] = searchText(differences[position]);
    });
}

const std::vector<std::size_t>& ResultIndex::positions(records::ResultFilter filter) const
{
    static const std::vector<std::size_t> none;
    const auto group = groups.find(filter);
    return group == groups.end() ? none : group->second;
}

std::vector<std::size_t> ResultIndex::matching(records::ResultFilter filter, std::string_view query,
                                               std::optional<std::size_t> changedColumn) const
{
    std::vector<std::size_t> narrowed;
    if (changedColumn) {
        if (*changedColumn < columnGroups.size())
            std::ranges::set_intersection(positions(filter), columnGroups[*changedColumn],
                                          std::back_inserter(narrowed));
    }
    const std::vector<std::size_t>& group = changedColumn ? narrowed : positions(filter);
    const std::string needle = searchForm(text::trimmed(query));
    if (needle.empty())
        return group;
    // The separator itself would let a query span two pieces.
    if (needle.find(pieceSeparator) != std::string::npos)
        return {};
    // One thread: the scan takes milliseconds, less than a second thread can take to get scheduled.
    const QueryScanner scanner(needle);
    std::vector<std::size_t> found;
    std::copy_if(group.begin(), group.end(), std::back_inserter(found), [&](std::size_t position) {
        return position < searchable.size() && scanner.isIn(searchable[position]);
    });
    return found;
}

std::vector<std::size_t> ResultIndex::page(std::span<const std::size_t> indices, std::int64_t number, std::int64_t size)
{
    if (number < 0 || size < 1 || number > std::numeric_limits<std::int64_t>::max() / size)
        return {};
    const auto start = static_cast<std::uint64_t>(number * size);
    if (start >= indices.size())
        return {};
    const std::size_t end = std::min<std::uint64_t>(indices.size(), start + static_cast<std::uint64_t>(size));
    return {indices.begin() + static_cast<std::ptrdiff_t>(start), indices.begin() + static_cast<std::ptrdiff_t>(end)};
}

}  // namespace rowlark::results
