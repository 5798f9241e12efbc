#pragma once

// Text in the legacy encodings of old workbooks: UTF-16 units and the single-byte Windows, DOS
// and Mac code pages, decoded through ICU.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace rowlark::text {

// UTF-16 as UTF-8; none when it holds a surrogate without its pair.
std::optional<std::string> decodeUTF16(std::u16string_view units);

// The character of every byte in a single-byte code page given by its Windows number (1252,
// 10000 for Mac Roman, 437 ...), none for bytes without one; none at all when the code page is not
// one of those.
std::optional<std::array<std::optional<char16_t>, 256>> codePageCharacters(int codePage);

}  // namespace rowlark::text
