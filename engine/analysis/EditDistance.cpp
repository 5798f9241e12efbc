#include "engine/analysis/EditDistance.h"

namespace rowlark::analysis {
namespace {

constexpr std::size_t wordBits = 64;

// The vertical deltas of one block of 64 rows of the distance table in the current column:
// `plus` has a bit for each row one more than the row above it, `minus` for each one less.
struct Block {
    std::uint64_t plus = ~std::uint64_t{0};
    std::uint64_t minus = 0;
};

// Moves `block` one column on, given the matches of the column's character and the horizontal
// delta entering the block's top row; returns the horizontal delta leaving the row `outRow`.
int advance(Block& block, std::uint64_t matches, int deltaIn, std::uint64_t outRow)
{
    const std::uint64_t entersLower = deltaIn < 0 ? 1 : 0;
    const std::uint64_t vertical = matches | block.minus;
    matches |= entersLower;
    const std::uint64_t horizontal = (((matches & block.plus) + block.plus) ^ block.plus) | matches;
    std::uint64_t plusH = block.minus | ~(horizontal | block.plus);
    std::uint64_t minusH = block.plus & horizontal;
    const int deltaOut = static_cast<int>((plusH & outRow) != 0) - static_cast<int>((minusH & outRow) != 0);
    plusH = (plusH << 1) | (deltaIn > 0 ? 1 : 0);
    minusH = (minusH << 1) | entersLower;
    block.plus = minusH | ~(vertical | plusH);
    block.minus = plusH & vertical;
    return deltaOut;
}

}  // namespace

PatternDistance::PatternDistance(std::span<const std::uint32_t> pattern, std::vector<std::uint64_t>& symbolTable)
    : pattern_(pattern)
    , symbolTable_(symbolTable)
    , blocks_((pattern.size() + wordBits - 1) / wordBits)
{
    if (blocks_ == 1) {
        for (std::size_t row = 0; row < pattern.size(); ++row)
            symbolTable_[pattern[row]] |= std::uint64_t{1} << row;
        return;
    }
    matchWords_.assign(blocks_, 0);
    for (std::size_t row = 0; row < pattern.size(); ++row) {
        std::uint64_t& slot = symbolTable_[pattern[row]];
        if (slot == 0) {
            slot = matchWords_.size() / blocks_;
            matchWords_.resize(matchWords_.size() + blocks_, 0);
        }
        matchWords_[slot * blocks_ + row / wordBits] |= std::uint64_t{1} << (row % wordBits);
    }
}

PatternDistance::~PatternDistance()
{
    for (const std::uint32_t symbol : pattern_)
        symbolTable_[symbol] = 0;
}

std::size_t PatternDistance::distanceTo(std::span<const std::uint32_t> text) const
{
    if (blocks_ == 0)
        return text.size();
    return blocks_ == 1 ? distanceWithinOneWord(text) : distanceOverBlocks(text);
}

std::size_t PatternDistance::distanceWithinOneWord(std::span<const std::uint32_t> text) const
{
    const std::uint64_t lastRow = std::uint64_t{1} << (pattern_.size() - 1);
    Block block;
    auto distance = static_cast<std::ptrdiff_t>(pattern_.size());
    for (const std::uint32_t symbol : text)
        distance += advance(block, symbolTable_[symbol], 1, lastRow);
    return static_cast<std::size_t>(distance);
}

std::size_t PatternDistance::distanceOverBlocks(std::span<const std::uint32_t> text) const
{
    const std::uint64_t highRow = std::uint64_t{1} << (wordBits - 1);
    const std::uint64_t lastRow = std::uint64_t{1} << ((pattern_.size() - 1) % wordBits);
    std::vector<Block> blocks(blocks_);
    auto distance = static_cast<std::ptrdiff_t>(pattern_.size());
    for (const std::uint32_t symbol : text) {
        const std::uint64_t* words = matchWords_.data() + symbolTable_[symbol] * blocks_;
        int delta = 1;  // the top row of the table counts up one per column
        for (std::size_t b = 0; b + 1 < blocks_; ++b)
            delta = advance(blocks[b], words[b], delta, highRow);
        distance += advance(blocks.back(), words[blocks_ - 1], delta, lastRow);
    }
    return static_cast<std::size_t>(distance);
}

std::size_t editDistance(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::size_t alphabetSize)
{
    std::vector<std::uint64_t> table(alphabetSize, 0);
    return PatternDistance(a, table).distanceTo(b);
}

}  // namespace rowlark::analysis
