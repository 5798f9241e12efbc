#pragma once

// Byte decoding for imported files.

#include <string>
#include <string_view>

namespace rowlark::text {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);

// Every byte decodes: the five values Windows-1252 leaves undefined become the C1 control
// characters of the same value.
std::string decodeWindows1252(std::string_view bytes);

}  // namespace rowlark::text
