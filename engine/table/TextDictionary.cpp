#include "engine/table/TextDictionary.h"

#include <functional>
#include <utility>

namespace rowlark::table {

TextDictionary::TextDictionary()
    : ends_{0}
    , slots_(64)
{
    overflowEnds_.push_back(0);
}

std::uint64_t TextDictionary::longHashOf(std::string_view text)
{
    return std::hash<std::string_view>{}(text);
}

std::uint32_t TextDictionary::add(std::string_view text, const Key& key)
{
    const auto code = static_cast<std::uint32_t>(size());
    texts_.insert(texts_.end(), text.begin(), text.end());
    ends_.push_back(texts_.size());
    if (size() * loadDivisor() > slots_.size())
        grow();
    else
        place(slots_, key, code);
    return code;
}

std::uint32_t TextDictionary::addOverflow(std::string_view text)
{
    const auto code = static_cast<std::uint32_t>(overflowMark + overflowEnds_.size() - 1);
    overflowText_.append(text);
    overflowEnds_.push_back(overflowText_.size());
    return code;
}

// A small dictionary keeps most slots empty, so that a lookup seldom probes twice; a large one
// keeps its slots to twice its codes.
std::size_t TextDictionary::loadDivisor() const
{
    return slots_.size() < 4096 ? 8 : 2;
}

// Puts the code in the first empty slot from where its key points.
void TextDictionary::place(std::vector<Slot>& slots, const Key& key, std::uint32_t code)
{
    const std::size_t mask = slots.size() - 1;
    std::size_t index = key.slot() & mask;
    while (slots[index].codePlusOne != 0)
        index = (index + 1) & mask;
    slots[index] = {key.first, key.last, key.size, code + 1};
}

// Doubles the slots and places every code anew.
void TextDictionary::grow()
{
    std::vector<Slot> slots(2 * slots_.size());
    for (std::uint32_t code = 0; code < size(); ++code)
        place(slots, keyOf(text(code)), code);
    slots_ = std::move(slots);
}

DictionaryTexts TextDictionary::finish() &&
{
    overflowEnds_.shrinkToFit();
    DictionaryTexts texts{std::move(texts_), {}, std::move(overflowText_), std::move(overflowEnds_)};
    texts.storage.shrink_to_fit();
    texts.byCode.reserve(size());
    for (std::size_t code = 0; code < size(); ++code)
        texts.byCode.emplace_back(texts.storage.data() + ends_[code], ends_[code + 1] - ends_[code]);
    return texts;
}

}  // namespace rowlark::table
