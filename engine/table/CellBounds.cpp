#include "engine/table/CellBounds.h"

namespace rowlark::table {

void CellBounds::pushAtEdge(std::uint64_t bound)
{
    for (; high_ < bound >> 32; ++high_)
        steps_.push_back(size());
    const auto low = static_cast<std::uint32_t>(bound);
    if (size() % groupSize == 0) {
        firsts_.push_back(low);
        distances_.push_back(0);
        groupStart_ = bound;
        return;
    }
    const std::size_t group = size() / groupSize;
    if (!isWide(group) && bound - groupStart_ > maximumDistance)
        widenLastGroup();
    if (isWide(group)) {
        wideLows_.push_back(low);
        distances_.push_back(0);
    } else {
        distances_.push_back(static_cast<std::uint16_t>(bound - groupStart_));
    }
}

// Moves the offsets of the last group so far to the wide groups' list.
void CellBounds::widenLastGroup()
{
    const std::size_t group = firsts_.size() - 1;
    const std::size_t wideGroup = wideLows_.size() / groupSize;
    for (std::size_t index = group * groupSize; index < size(); ++index)
        wideLows_.push_back(static_cast<std::uint32_t>(groupStart_ + distances_[index]));
    firsts_[group] = static_cast<std::uint32_t>(wideGroup);
    distances_[group * groupSize] = wideMark;
}

void CellBounds::clear()
{
    distances_.clear();
    firsts_.clear();
    wideLows_.clear();
    steps_.clear();
    high_ = 0;
    groupStart_ = 0;
}

void CellBounds::shrinkToFit()
{
    distances_.shrink_to_fit();
    firsts_.shrink_to_fit();
    wideLows_.shrink_to_fit();
}

}  // namespace rowlark::table
