#include "records/Differences.h"

#include <array>
#include <utility>

namespace rowlark::records {
namespace {

constexpr std::array<std::pair<DiffStatus, std::string_view>, 3> statusTitles = {{
    {DiffStatus::changed, "Changed"},
    {DiffStatus::onlyLeft, "Only in File A"},
    {DiffStatus::onlyRight, "Only in File B"},
}};

}  // namespace

std::string_view title(DiffStatus status)
{
    for (const auto& [candidate, title] : statusTitles)
        if (candidate == status)
            return title;
    return {};
}

}  // namespace rowlark::records
