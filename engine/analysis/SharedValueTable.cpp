#include "analysis/SharedValueTable.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <tuple>

namespace rowlark::analysis::CSVComparator {
namespace {

constexpr std::size_t fewestOverlapValues = 5;

bool takesPart(const ColumnProfile& profile)
{
    return profile.kind != ColumnKind::boolean && profile.values.size() >= fewestOverlapValues;
}

}  // namespace

SharedValueTable::SharedValueTable(const std::vector<ColumnProfile>& left, const std::vector<ColumnProfile>& right)
    : rightCount_(right.size())
    , counts_(left.size() * right.size(), 0)
{
    std::vector<Entry> entries;
    addEntries(entries, left, false);
    addEntries(entries, right, true);
    // Hashes order the values cheaply; the texts are compared only to rule out collisions.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return std::tie(a.hash, a.isRight) < std::tie(b.hash, b.isRight); });
    for (auto start = entries.begin(); start != entries.end();) {
        const auto end =
            std::find_if(start, entries.end(), [&](const Entry& entry) { return entry.hash != start->hash; });
        if (std::all_of(start, end, [&](const Entry& entry) { return entry.value == start->value; })) {
            countShared(start, end);
        } else {
            std::sort(start, end, [](const Entry& a, const Entry& b) {
                return std::tie(a.value, a.isRight) < std::tie(b.value, b.isRight);
            });
            for (auto same = start; same != end;) {
                const auto sameEnd =
                    std::find_if(same, end, [&](const Entry& entry) { return entry.value != same->value; });
                countShared(same, sameEnd);
                same = sameEnd;
            }
        }
        start = end;
    }
}

void SharedValueTable::addEntries(std::vector<Entry>& entries, const std::vector<ColumnProfile>& profiles, bool isRight)
{
    for (std::size_t column = 0; column < profiles.size(); ++column) {
        if (!takesPart(profiles[column]))
            continue;
        for (const auto& value : profiles[column].values)
            entries.push_back(
                {std::hash<std::string_view>{}(value), value, static_cast<std::uint32_t>(column), isRight});
    }
}

// The entries of one value, left columns first, then right ones.
void SharedValueTable::countShared(std::vector<Entry>::const_iterator start, std::vector<Entry>::const_iterator end)
{
    const auto firstRight = std::find_if(start, end, [](const Entry& entry) { return entry.isRight; });
    for (auto left = start; left != firstRight; ++left)
        for (auto right = firstRight; right != end; ++right)
            ++counts_[left->column * rightCount_ + right->column];
}

std::span<const std::uint32_t> SharedValueTable::row(std::size_t leftColumn) const
{
    if (rightCount_ == 0 || leftColumn * rightCount_ >= counts_.size())
        return {};
    return std::span<const std::uint32_t>(counts_).subspan(leftColumn * rightCount_, rightCount_);
}

}  // namespace rowlark::analysis::CSVComparator
