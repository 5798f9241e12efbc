#include "engine/records/Differences.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace rowlark::records {
namespace {

constexpr std::array<std::pair<DiffStatus, std::string_view>, 3> statusTitles = {{
    {DiffStatus::changed, "Changed"},
    {DiffStatus::onlyLeft, "Only in File A"},
    {DiffStatus::onlyRight, "Only in File B"},
}};

}  // namespace

std::string columnName(std::string_view header, std::int64_t index)
{
    if (!header.empty())
        return std::string(header);
    return "Unnamed column " + std::to_string(index + 1);
}

std::vector<std::size_t> columnsByChanges(const ComparisonSummary& summary)
{
    std::vector<std::size_t> positions;
    for (std::size_t position = 0; position < summary.columns.size(); ++position)
        if (summary.columns[position].changedRecords > 0)
            positions.push_back(position);
    std::ranges::stable_sort(positions, std::greater{},
                             [&](std::size_t position) { return summary.columns[position].changedRecords; });
    return positions;
}

std::string_view title(DiffStatus status)
{
    for (const auto& [candidate, title] : statusTitles)
        if (candidate == status)
            return title;
    return {};
}

}  // namespace rowlark::records
