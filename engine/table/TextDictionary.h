#pragma once

// The distinct texts of a column, numbered in order of first appearance, so that a column of few
// distinct values keeps a small code per cell instead of the text itself. A column that turns out
// to hold many keeps its first `mostTexts` in the dictionary and every later cell's text on its
// own, under an overflow code, without looking for it first: it then costs about what text kept
// plainly does, in time and in memory.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "engine/table/CellBounds.h"

namespace rowlark::table {

// Codes from this one on stand for texts kept one per cell: their number among those is the rest.
constexpr std::uint32_t overflowMark = std::uint32_t{1} << 31;

// The texts of a dictionary that takes no more, by code.
struct DictionaryTexts {
    std::vector<char> storage;
    std::vector<std::string_view> byCode;  // into `storage`, whose moves keep its buffer
    std::string overflowText;
    CellBounds overflowEnds;  // overflow text i spans [overflowEnds[i], overflowEnds[i + 1])

    std::string_view text(std::uint32_t code) const
    {
        if (code < overflowMark)
            return byCode[code];
        const std::size_t index = code - overflowMark;
        const std::uint64_t start = overflowEnds[index];
        return {overflowText.data() + start, static_cast<std::size_t>(overflowEnds[index + 1] - start)};
    }
};

class TextDictionary {
public:
    static constexpr std::size_t mostTexts = 4096;

    TextDictionary();

    // The code of `text`; a new text is added with the next code, `size()`. Once the dictionary is
    // full, every text gets an overflow code of its own.
    std::uint32_t codeOf(std::string_view text)
    {
        if (size() == mostTexts)
            return addOverflow(text);
        const Key key = keyOf(text);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t index = key.slot() & mask;; index = (index + 1) & mask) {
            const Slot& slot = slots_[index];
            if (slot.codePlusOne == 0)
                return add(text, key);
            if (slot.holds(key) && (text.size() <= Key::exactSize || this->text(slot.codePlusOne - 1) == text))
                return slot.codePlusOne - 1;
        }
    }
    std::string_view text(std::uint32_t code) const
    {
        const std::size_t start = ends_[code];
        return {texts_.data() + start, ends_[code + 1] - start};
    }
    std::size_t size() const { return ends_.size() - 1; }
    // Once no more texts come: the texts alone, without what finding codes needs.
    DictionaryTexts finish() &&;

private:
    // What a slot keeps of its text: a text of up to `exactSize` bytes is told apart by its first
    // and last word and its size alone, so most lookups compare no text; a longer one by a hash,
    // and then by its text.
    struct Key {
        static constexpr std::size_t exactSize = 16;

        std::uint64_t first = 0;
        std::uint64_t last = 0;
        std::uint32_t size = 0;  // at most, for a long text, the largest 32-bit number

        std::uint64_t slot() const
        {
            return ((first ^ std::rotl(last, 29) ^ size) * 0x9E3779B97F4A7C15u +
                    std::rotl(last * 0xC2B2AE3D27D4EB4Fu, 31)) >>
                   32;
        }
    };
    struct Slot {
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        std::uint32_t size = 0;
        std::uint32_t codePlusOne = 0;  // 0 for an empty slot

        bool holds(const Key& key) const { return first == key.first && last == key.last && size == key.size; }
    };

    static Key keyOf(std::string_view text)
    {
        Key key;
        key.size =
            static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max()));
        const char* data = text.data();
        if (key.size >= 8 && key.size <= Key::exactSize) {
            std::memcpy(&key.first, data, 8);
            std::memcpy(&key.last, data + key.size - 8, 8);
        } else if (key.size >= 4 && key.size < 8) {
            std::uint32_t head;
            std::uint32_t tail;
            std::memcpy(&head, data, 4);
            std::memcpy(&tail, data + key.size - 4, 4);
            key.first = head;
            key.last = tail;
        } else if (key.size > 0 && key.size < 4) {
            key.first = static_cast<unsigned char>(data[0]) | static_cast<unsigned char>(data[key.size / 2]) << 8 |
                        static_cast<unsigned char>(data[key.size - 1]) << 16;
        } else if (key.size > Key::exactSize) {
            key.first = longHashOf(text);
        }
        return key;
    }
    static std::uint64_t longHashOf(std::string_view text);
    std::uint32_t add(std::string_view text, const Key& key);
    std::uint32_t addOverflow(std::string_view text);
    std::size_t loadDivisor() const;
    static void place(std::vector<Slot>& slots, const Key& key, std::uint32_t code);
    void grow();

    std::vector<char> texts_;
    std::vector<std::size_t> ends_;  // text i spans [ends_[i], ends_[i + 1])
    std::vector<Slot> slots_;        // open addressing over a power-of-two count
    std::string overflowText_;
    CellBounds overflowEnds_;
};

}  // namespace rowlark::table
