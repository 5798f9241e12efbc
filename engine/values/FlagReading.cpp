#include "engine/values/FlagReading.h"

#include <array>

#include "engine/text/Unicode.h"

namespace rowlark::values {
namespace {

struct FlagSpelling {
    std::string_view compactForm;
    bool value;
};

constexpr std::array<FlagSpelling, 10> spellings{{
    {"true", true},
    {"yes", true},
    {"y", true},
    {"on", true},
    {"1", true},
    {"false", false},
    {"no", false},
    {"n", false},
    {"off", false},
    {"0", false},
}};

constexpr std::size_t longestSpelling = 5;

}  // namespace

// The compact form keeps letters, marks and numbers, lower-cased; every spelling is ASCII, so a
// letter, mark or number outside ASCII rules them all out.
std::optional<bool> readFlag(std::string_view cell)
{
    std::array<char, longestSpelling> compact;
    std::size_t length = 0;
    for (std::size_t position = 0; position < cell.size();) {
        const char32_t scalar = text::nextScalar(cell, position);
        if (!text::isLetterMarkOrNumber(scalar))
            continue;
        if (scalar >= 0x80 || length == compact.size())
            return std::nullopt;
        compact[length++] = static_cast<char>(scalar >= 'A' && scalar <= 'Z' ? scalar + 32 : scalar);
    }
    const std::string_view form(compact.data(), length);
    for (const FlagSpelling& spelling : spellings)
        if (spelling.compactForm == form)
            return spelling.value;
    return std::nullopt;
}

}  // namespace rowlark::values
