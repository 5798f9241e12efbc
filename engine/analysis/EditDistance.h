#pragma once

// Levenshtein distance between sequences of symbols (small integers standing for characters),
// computed 64 rows of the distance table at a time with the bit-vector recurrences of Myers and
// Hyyrö. A pattern is prepared once and measured against many texts, so its cost per pair is
// about one word operation per 64 characters of the pattern and character of the text.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rowlark::analysis {

class PatternDistance {
public:
    // `symbolTable` is scratch shared by the patterns one thread prepares in turn: one entry per
    // symbol of the alphabet, all 0 between patterns. It must outlive this object, which restores
    // it. A pattern of one word keeps there the rows of each symbol, a longer one where in its own
    // table they are.
    PatternDistance(std::span<const std::uint32_t> pattern, std::vector<std::uint64_t>& symbolTable);
    PatternDistance(const PatternDistance&) = delete;
    PatternDistance& operator=(const PatternDistance&) = delete;
    ~PatternDistance();

    std::size_t distanceTo(std::span<const std::uint32_t> text) const;

private:
    std::size_t distanceWithinOneWord(std::span<const std::uint32_t> text) const;
    std::size_t distanceOverBlocks(std::span<const std::uint32_t> text) const;
    std::span<const std::uint32_t> pattern_;
    std::vector<std::uint64_t>& symbolTable_;
    std::size_t blocks_;
    // For patterns of more than one word: the rows of the pattern that hold each symbol, one word
    // per block, at the slot symbolTable_ gives; slot 0 is a symbol the pattern lacks.
    std::vector<std::uint64_t> matchWords_;
};

// The distance between two symbol sequences whose symbols are below `alphabetSize`.
std::size_t editDistance(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::size_t alphabetSize);

}  // namespace rowlark::analysis
