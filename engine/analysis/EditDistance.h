#pragma once

// Levenshtein distance between sequences of symbols (small integers standing for characters),
// computed 64 rows of the distance table at a time with the bit-vector recurrences of Myers and
// Hyyrö. A pattern is prepared once and measured against many texts, so its cost per pair is
// about one word operation per 64 characters of the pattern and character of the text.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rowlark::analysis::CSVComparator {

class PatternDistance {
public:
    // `symbolSlots` is scratch shared by the patterns one thread prepares: one entry per symbol
    // of the alphabet, all 0 between patterns. It must outlive this object, which restores it.
    PatternDistance(std::span<const std::uint32_t> pattern, std::vector<std::uint32_t>& symbolSlots);
    PatternDistance(const PatternDistance&) = delete;
    PatternDistance& operator=(const PatternDistance&) = delete;
    ~PatternDistance();

    std::size_t distanceTo(std::span<const std::uint32_t> text) const;

private:
    std::size_t distanceWithinOneWord(std::span<const std::uint32_t> text) const;
    std::size_t distanceOverBlocks(std::span<const std::uint32_t> text) const;
    // The rows of the pattern that hold `symbol`, one word per block; nothing for an absent one.
    const std::uint64_t* matches(std::uint32_t symbol) const;

    std::span<const std::uint32_t> pattern_;
    std::vector<std::uint32_t>& symbolSlots_;
    std::size_t blocks_;
    std::vector<std::uint64_t> matchWords_;  // blocks_ words per distinct symbol; slot 0 matches nothing
};

// The distance between two symbol sequences whose symbols are below `alphabetSize`.
std::size_t editDistance(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::size_t alphabetSize);

}  // namespace rowlark::analysis::CSVComparator
