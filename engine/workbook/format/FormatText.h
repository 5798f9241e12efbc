#pragma once

// Small text helpers of the number formats, after the JavaScript string functions the
// spreadsheet-reader library's formatter is written with.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace rowlark::workbook::formatting {

// String.prototype.substr(start, length)
inline std::string substr(std::string_view text, long start, long length = std::numeric_limits<long>::max())
{
    const long size = static_cast<long>(text.size());
    if (start < 0)
        start = std::max(0L, size + start);
    if (start >= size || length <= 0)
        return {};
    return std::string(
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(std::min(length, size - start))));
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isOneOf(char c, std::string_view set)
{
    for (const char member : set)
        if (c == member)
            return true;
    return false;
}

inline char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

inline bool equalsIgnoringCase(std::string_view text, std::size_t at, std::string_view word)
{
    if (at + word.size() > text.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lowered(text[at + i]) != lowered(word[i]))
            return false;
    return true;
}

inline std::string repeated(char c, long count)
{
    return count > 0 ? std::string(static_cast<std::size_t>(count), c) : std::string();
}

inline bool isGeneralAt(std::string_view format, std::size_t at)
{
    return equalsIgnoringCase(format, at, "general");
}

}  // namespace rowlark::workbook::formatting
