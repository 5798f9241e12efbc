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

// Calls `visit` with every tag of the text, brackets included, in order.
void forEachTag(std::string_view text, const std::function<void(std::string_view tag)>& visit);

// The tag's name with its brackets' opening ("<x:sheet", "</row>", "<row/>" ...), without the
// namespace prefix: "<sheet", "</row>".
std::string tagName(std::string_view tag);

// The last value given for `key`: an attribute named `key`, or `prefix:key`, or one whose lower
// case is `key`. Values are raw (not unescaped).
std::optional<std::string_view> attribute(std::string_view tag, std::string_view key);

// The text with XML entities, numeric character references, CDATA sections and _xHHHH_
// escapes decoded, each escape standing for one UTF-16 unit as the library reads it. None when
// the text is not UTF-8 or an escape stands for half of a surrogate pair.
std::optional<std::string> unescapedText(std::string_view text);

bool isValidUtf8(std::string_view text);

// "AB12" as (row 11, column 27), counted from 0; none unless upper-case letters are followed by
// a decimal row number without leading zeros.
struct CellAddress {
    std::uint32_t row;
    std::uint32_t column;
};
std::optional<CellAddress> parseCellAddress(std::string_view text);

}  // namespace rowlark::workbook
