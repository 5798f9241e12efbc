#include "engine/analysis/DataCompatibility.h"

#include "engine/analysis/SharedValues.h"

#include <algorithm>
#include <cmath>

namespace rowlark::analysis {
namespace {

double overlap(const ColumnProfile& left, const ColumnProfile& right, std::size_t shared)
{
    if (!takesPartInOverlap(left) || !takesPartInOverlap(right))
        return 0;
    return static_cast<double>(shared) / static_cast<double>(std::min(left.values.size(), right.values.size()));
}

bool isNumberPair(ColumnKind a, ColumnKind b)
{
    return (a == ColumnKind::integer && b == ColumnKind::decimal) ||
           (a == ColumnKind::decimal && b == ColumnKind::integer);
}

double kindScore(ColumnKind left, ColumnKind right)
{
    if (left == ColumnKind::empty || right == ColumnKind::empty)
        return left == right ? 0.55 : 0.1;
    if (left == right)
        return left == ColumnKind::text ? 0.62 : 0.88;
    return isNumberPair(left, right) ? 0.82 : 0.12;
}

}  // namespace

std::size_t sharedValueCount(const ColumnProfile& left, const ColumnProfile& right)
{
    const auto& smaller = left.values.size() <= right.values.size() ? left.values : right.values;
    const auto& larger = left.values.size() <= right.values.size() ? right.values : left.values;
    return static_cast<std::size_t>(std::count_if(smaller.begin(), smaller.end(),
                                                  [&](const std::string& value) { return larger.contains(value); }));
}

DataCompatibility dataCompatibility(const ColumnProfile& left, const ColumnProfile& right, std::size_t shared)
{
    const double uniquenessGap = std::min(std::abs(left.uniqueRatio - right.uniqueRatio), 1.0);
    const double shape = std::min(1.0, 0.88 * kindScore(left.kind, right.kind) + 0.12 * (1 - uniquenessGap));
    return {overlap(left, right, shared), shape};
}

DataCompatibility dataCompatibility(const ColumnProfile& left, const ColumnProfile& right)
{
    return dataCompatibility(left, right, sharedValueCount(left, right));
}

}  // namespace rowlark::analysis
