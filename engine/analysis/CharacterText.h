#pragma once

// A text seen as a sequence of user-perceived characters (extended grapheme clusters) in NFC,
// so that lengths, prefixes, suffixes and edit distances count characters and canonically
// equivalent characters are equal.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::analysis {

class CharacterText {
public:
    CharacterText() = default;
    // Composes `text` to NFC and splits it into characters.
    explicit CharacterText(std::string_view text);

    const std::string& text() const { return text_; }
    std::size_t length() const { return symbols_.size(); }
    bool empty() const { return symbols_.empty(); }
    std::string_view character(std::size_t index) const;
    // The text of the first `count` characters, without copying.
    std::string_view firstCharacters(std::size_t count) const;

    bool startsWith(const CharacterText& prefix) const;
    bool endsWith(const CharacterText& suffix) const;
    // The characters from `start` up to (not including) `end`.
    CharacterText slice(std::size_t start, std::size_t end) const;
    CharacterText dropFirst(std::size_t count) const { return slice(std::min(count, length()), length()); }
    CharacterText dropLast(std::size_t count) const { return slice(0, length() - std::min(count, length())); }
    CharacterText operator+(const CharacterText& other) const;

    // Levenshtein distance over characters.
    friend std::size_t editDistance(const CharacterText& a, const CharacterText& b);
    friend bool operator==(const CharacterText& a, const CharacterText& b) { return a.text_ == b.text_; }

private:
    bool sameCharacter(std::size_t index, const CharacterText& other, std::size_t otherIndex) const;

    std::string text_;
    // One per character: its bytes packed with its length when it has at most 7, else a hash
    // with the top bit set, in which case equal symbols still need a text comparison.
    std::vector<std::uint64_t> symbols_;
    std::vector<std::size_t> boundaries_{0};  // character i spans [boundaries_[i], boundaries_[i + 1])
};

}  // namespace rowlark::analysis
