#pragma once

// Text in the legacy encodings of old workbooks: UTF-16 units and the single-byte Windows, DOS
// and Mac code pages, decoded through ICU.

#include <optional>
#include <string>
#include <string_view>

namespace rowlark::text {

// UTF-16 as UTF-8; none when it holds a surrogate without its pair.
std::optional<std::string> decodeUTF16(std::u16string_view units);

// The bytes in a single-byte code page given by its Windows number (1252, 10000 for Mac Roman,
// 437 ...), as UTF-8; none when the code page is not one of those, or a byte has no character
// in it.
std::optional<std::string> decodeCodePage(int codePage, std::string_view bytes);

}  // namespace rowlark::text
