#pragma once

// The escapes of the test data files, which spell what a reader cannot see: \n \r \t \v \0 \\,
// \s (a space), \E (nothing, for an empty field), \xHH (one raw byte), and a scalar written as
// UTF-8 as \uXXXX, \UXXXXXXXX or \u{hex}. The encoder is the tests' own, so a fault in the code
// under test cannot change the cases.

#include <cstddef>
#include <string>
#include <string_view>

namespace rowlark::testing {

inline void appendUTF8(std::string& text, char32_t scalar)
{
    if (scalar < 0x80) {
        text += static_cast<char>(scalar);
        return;
    }
    const int continuations = scalar < 0x800 ? 1 : scalar < 0x10000 ? 2 : 3;
    text += static_cast<char>(((0xF0 << (3 - continuations)) & 0xFF) | (scalar >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6)
        text += static_cast<char>(0x80 | ((scalar >> shift) & 0x3F));
}

inline std::string unescaped(std::string_view field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char kind = field[++i];
        const auto hex = [&](std::size_t start, std::size_t digits) {
            const auto value = std::stoul(std::string(field.substr(start, digits)), nullptr, 16);
            i = start + digits - 1;
            return static_cast<char32_t>(value);
        };
        switch (kind) {
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'v':
            text += '\v';
            break;
        case '0':
            text += '\0';
            break;
        case 's':
            text += ' ';
            break;
        case 'E':
            break;
        case 'x':
            text += static_cast<char>(hex(i + 1, 2));
            break;
        case 'u':
            if (i + 1 < field.size() && field[i + 1] == '{') {
                appendUTF8(text, hex(i + 2, field.find('}', i) - i - 2));
                ++i;  // the closing brace
            } else {
                appendUTF8(text, hex(i + 1, 4));
            }
            break;
        case 'U':
            appendUTF8(text, hex(i + 1, 8));
            break;
        default:
            text += kind;
        }
    }
    return text;
}

}  // namespace rowlark::testing
