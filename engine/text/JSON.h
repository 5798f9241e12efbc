#pragma once

// JSON text in the forms Rowlark compares and stores. Numbers are never rounded: they keep
// their exact decimal value in one fixed spelling. Reading is iterative and bounded by
// `maximumJSONDepth`, so no input can exhaust the stack.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rowlark::text {

// Texts nesting arrays and objects deeper than this are not read as JSON.
inline constexpr std::size_t maximumJSONDepth = 512;

// The compact form of any JSON value: no white space between tokens, object members sorted by
// name in Unicode scalar order, numbers in their canonical spelling. None when `text` is not
// JSON or nests too deep. With `lowercaseTexts`, member names and strings are lower-cased first.
std::optional<std::string> canonicalJSON(std::string_view text, bool lowercaseTexts = false);

// The one spelling of a JSON number token's exact value: "1.50", "15e-1" and "1.5" all give
// "1.5"; "-0" gives "0"; digits are never dropped or rounded.
std::string canonicalJSONNumber(std::string_view token);

}  // namespace rowlark::text
