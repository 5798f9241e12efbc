#include "engine/analysis/SharedValues.h"

namespace rowlark::analysis {
namespace {

// Fewer distinct values than this make a coincidental overlap too likely to mean anything.
constexpr std::size_t fewestOverlapValues = 5;

}  // namespace

bool takesPartInOverlap(const ColumnProfile& profile)
{
    return profile.kind != ColumnKind::boolean && profile.values.size() >= fewestOverlapValues;
}

SharedValueIndex::SharedValueIndex(const std::vector<ColumnProfile>& right, const std::function<void()>& checkpoint)
    : rightColumnCount_(right.size())
{
    for (std::size_t column = 0; column < right.size(); ++column) {
        checkpoint();
        if (takesPartInOverlap(right[column]))
            for (const auto& value : right[column].values)
                columns_[value].push_back(static_cast<std::uint32_t>(column));
    }
}

const std::vector<std::uint32_t>* SharedValueIndex::columnsHolding(std::string_view value) const
{
    const auto found = columns_.find(value);
    return found == columns_.end() ? nullptr : &found->second;
}

SharedValueCounts::SharedValueCounts(const SharedValueIndex& index)
    : index_(index)
    , counts_(index.rightColumnCount(), 0)
{
}

void SharedValueCounts::countFor(const ColumnProfile& left)
{
    for (const std::uint32_t column : touched_)
        counts_[column] = 0;
    touched_.clear();
    if (!takesPartInOverlap(left))
        return;
    for (const auto& value : left.values)
        if (const auto* columns = index_.columnsHolding(value))
            for (const std::uint32_t column : *columns)
                if (counts_[column]++ == 0)
                    touched_.push_back(column);
}

}  // namespace rowlark::analysis
