#include "analysis/SharedValueTable.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace rowlark::CSVComparator {
namespace {

constexpr std::size_t fewestOverlapValues = 5;

struct Entry {
    std::size_t hash;
    std::string_view value;
    std::uint32_t column;
    bool isRight;
};

bool takesPart(const ColumnProfile& profile)
{
    return profile.kind != ColumnKind::boolean && profile.values.size() >= fewestOverlapValues;
}

void addEntries(std::vector<Entry>& entries, const std::vector<ColumnProfile>& profiles, bool isRight)
{
    for (std::size_t column = 0; column < profiles.size(); ++column) {
        if (!takesPart(profiles[column]))
            continue;
        for (const auto& value : profiles[column].values)
            entries.push_back({std::hash<std::string_view>{}(value), value, static_cast<std::uint32_t>(column), isRight});
    }
}

}  // namespace

SharedValueTable::SharedValueTable(const std::vector<ColumnProfile>& left, const std::vector<ColumnProfile>& right)
    : rightCount_(right.size())
    , counts_(left.size() * right.size(), 0)
{
    std::vector<Entry> entries;
    addEntries(entries, left, false);
    addEntries(entries, right, true);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.hash != b.hash)
            return a.hash < b.hash;
        if (a.value != b.value)
            return a.value < b.value;
        return a.isRight < b.isRight;
    });
    // Within a run of equal values the left columns come first, then the right ones.
    for (auto start = entries.begin(); start != entries.end();) {
        auto end = std::find_if(start, entries.end(),
                                [&](const Entry& entry) { return entry.hash != start->hash || entry.value != start->value; });
        const auto firstRight = std::find_if(start, end, [](const Entry& entry) { return entry.isRight; });
        for (auto l = start; l != firstRight; ++l)
            for (auto r = firstRight; r != end; ++r)
                ++counts_[l->column * rightCount_ + r->column];
        start = end;
    }
}

std::span<const std::uint32_t> SharedValueTable::row(std::size_t leftColumn) const
{
    if (rightCount_ == 0 || leftColumn * rightCount_ >= counts_.size())
        return {};
    return std::span<const std::uint32_t>(counts_).subspan(leftColumn * rightCount_, rightCount_);
}

}  // namespace rowlark::CSVComparator
