#include "engine/analysis/CharacterText.h"

#include "engine/analysis/EditDistance.h"
#include "engine/text/Unicode.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

namespace rowlark::analysis {
namespace {

constexpr std::size_t packedCapacity = 7;
constexpr std::uint64_t hashedFlag = 1ULL << 63;

std::uint64_t symbolOf(std::string_view character)
{
    if (character.size() > packedCapacity)
        return std::hash<std::string_view>{}(character) | hashedFlag;
    std::uint64_t symbol = static_cast<std::uint64_t>(character.size()) << 56;
    for (std::size_t i = 0; i < character.size(); ++i)
        symbol |= static_cast<std::uint64_t>(static_cast<unsigned char>(character[i])) << (8 * i);
    return symbol;
}

}  // namespace

CharacterText::CharacterText(std::string_view text)
    : text_(text::nfc(text))
{
    boundaries_ = text::graphemeBoundaries(text_);
    symbols_.reserve(boundaries_.size() - 1);
    for (std::size_t i = 0; i + 1 < boundaries_.size(); ++i)
        symbols_.push_back(symbolOf(character(i)));
}

std::string_view CharacterText::character(std::size_t index) const
{
    return std::string_view(text_).substr(boundaries_[index], boundaries_[index + 1] - boundaries_[index]);
}

std::string_view CharacterText::firstCharacters(std::size_t count) const
{
    return std::string_view(text_).substr(0, boundaries_[count]);
}

bool CharacterText::sameCharacter(std::size_t index, const CharacterText& other, std::size_t otherIndex) const
{
    const std::uint64_t symbol = symbols_[index];
    return symbol == other.symbols_[otherIndex] &&
           ((symbol & hashedFlag) == 0 || character(index) == other.character(otherIndex));
}

bool CharacterText::startsWith(const CharacterText& prefix) const
{
    if (prefix.length() > length())
        return false;
    for (std::size_t i = 0; i < prefix.length(); ++i)
        if (!sameCharacter(i, prefix, i))
            return false;
    return true;
}

bool CharacterText::endsWith(const CharacterText& suffix) const
{
    if (suffix.length() > length())
        return false;
    const std::size_t offset = length() - suffix.length();
    for (std::size_t i = 0; i < suffix.length(); ++i)
        if (!sameCharacter(offset + i, suffix, i))
            return false;
    return true;
}

CharacterText CharacterText::slice(std::size_t start, std::size_t end) const
{
    CharacterText part;
    if (start >= end || end > length())
        return part;
    const std::size_t byteStart = boundaries_[start];
    part.text_ = text_.substr(byteStart, boundaries_[end] - byteStart);
    part.symbols_.assign(symbols_.begin() + static_cast<std::ptrdiff_t>(start),
                         symbols_.begin() + static_cast<std::ptrdiff_t>(end));
    part.boundaries_.clear();
    part.boundaries_.reserve(end - start + 1);
    for (std::size_t i = start; i <= end; ++i)
        part.boundaries_.push_back(boundaries_[i] - byteStart);
    return part;
}

CharacterText CharacterText::operator+(const CharacterText& other) const
{
    CharacterText joined = *this;
    joined.text_ += other.text_;
    joined.symbols_.insert(joined.symbols_.end(), other.symbols_.begin(), other.symbols_.end());
    const std::size_t offset = text_.size();
    for (std::size_t i = 1; i < other.boundaries_.size(); ++i)
        joined.boundaries_.push_back(offset + other.boundaries_[i]);
    return joined;
}

std::size_t editDistance(const CharacterText& a, const CharacterText& b)
{
    std::unordered_map<std::string_view, std::uint32_t> symbols;
    const auto symbolsOf = [&](const CharacterText& text) {
        std::vector<std::uint32_t> sequence;
        sequence.reserve(text.length());
        for (std::size_t i = 0; i < text.length(); ++i)
            sequence.push_back(
                symbols.try_emplace(text.character(i), static_cast<std::uint32_t>(symbols.size())).first->second);
        return sequence;
    };
    const std::vector<std::uint32_t> first = symbolsOf(a);
    const std::vector<std::uint32_t> second = symbolsOf(b);
    return editDistance(first, second, symbols.size());
}

}  // namespace rowlark::analysis
