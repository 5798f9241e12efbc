#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

// Table-driven cases kept in data files: one case a line, fields separated by tabs, the last field
// the expected result. Blank lines and lines starting with # are skipped. Fields take the escapes
// \n \r \t \v \0 \\, \xHH (one raw byte), \uXXXX and \UXXXXXXXX (a scalar written as UTF-8), and \E
// (nothing, for an empty field). The encoder is the file's own, so a fault in the code under test
// cannot change the cases.
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

inline std::string unescaped(const std::string& field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char kind = field[++i];
        const auto hex = [&](std::size_t digits) {
            const auto value = std::stoul(field.substr(i + 1, digits), nullptr, 16);
            i += digits;
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
        case 'E':
            break;
        case 'x':
            text += static_cast<char>(hex(2));
            break;
        case 'u':
            appendUTF8(text, hex(4));
            break;
        case 'U':
            appendUTF8(text, hex(8));
            break;
        default:
            text += kind;
        }
    }
    return text;
}

// Runs every case of the file `name` through `function`: the fields but the last are its inputs,
// the last the text it must give.
inline void expectCases(const std::string& name,
                        const std::function<std::string(const std::vector<std::string>&)>& function)
{
    const std::string path = std::string(ROWLARK_CASE_FOLDER) + "/" + name;
    std::ifstream file(path, std::ios::binary);
    std::size_t count = 0;
    std::string line;
    for (std::size_t number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> fields;
        for (std::size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
            tab = line.find('\t', start);
            fields.push_back(unescaped(line.substr(start, tab - start)));
        }
        const std::string expected = fields.back();
        fields.pop_back();
        EXPECT_EQ(function(fields), expected) << path << ":" << number << ": " << ::testing::PrintToString(fields);
        ++count;
    }
    EXPECT_GT(count, 0u) << "no cases in " << path;
}

inline std::string yesOrNo(bool value)
{
    return value ? "yes" : "no";
}

}  // namespace rowlark::testing
