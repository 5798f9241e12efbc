#pragma once

// Pieces of XML read the way the spreadsheet-reader library reads them: tags found by their
// angle brackets, attributes by name with their namespace prefix dropped, entities and the
// _xHHHH_ escapes of workbooks decoded. The native readers use these on the metadata parts of a
// workbook, so that an attribute or a name means the same to both paths.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rowlark::workbook {

// A character of the patterns' \w: an ASCII letter or digit, or an underscore.
inline bool isWordCharacter(char character)
{
    return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
           (character >= '0' && character <= '9') || character == '_';
}

// Calls `visit` with every tag of the text, brackets included, in order.
void forEachTag(std::string_view text, const std::function<void(std::string_view tag)>& visit);

// The tag's name with its brackets' opening ("<x:sheet", "</row>", "<row/>" ...), without the
// namespace prefix: "<sheet", "</row>".
std::string tagName(std::string_view tag);

// The attributes of a tag one after another: the name without its namespace prefix (and cut at
// an underscore, as the library keys names), the value raw (not unescaped). Namespace
// declarations are left out.
struct Attribute {
    std::string_view name;
    std::string_view value;
};
std::size_t firstAttributePosition(std::string_view tag);
std::optional<Attribute> nextAttribute(std::string_view tag, std::size_t& position);

// Whether an attribute of that name sets `key`, which the library also sets from the name in
// lower case.
bool isAttributeKey(std::string_view name, std::string_view key);

// The last value given for `key` (see isAttributeKey).
std::optional<std::string_view> attribute(std::string_view tag, std::string_view key);

// Whether unescapedText gives the text as it is: ASCII without entities, escapes or CDATA.
inline bool isPlainText(std::string_view text)
{
    for (const char character : text) {
        if (static_cast<unsigned char>(character) >= 0x80 || character == '&' || character == '_' || character == '<')
            return false;
    }
    return true;
}

// The text with XML entities, numeric character references, CDATA sections and _xHHHH_
// escapes decoded, each escape standing for one UTF-16 unit as the library reads it. None when
// the text is not UTF-8 or an escape stands for half of a surrogate pair.
std::optional<std::string> unescapedText(std::string_view text);

// "AB12" as (row 11, column 27), counted from 0; none unless upper-case letters are followed by
// a decimal row number without leading zeros.
struct CellAddress {
    std::uint32_t row;
    std::uint32_t column;
};
std::optional<CellAddress> parseCellAddress(std::string_view text);

}  // namespace rowlark::workbook
