#pragma once

// Cells read as yes/no values, whatever the column's header: true, yes, y, on and 1, and false, no,
// n, off and 0, in any letter case, with any punctuation or spacing around the letters ("Yes!",
// " N ").

#include <optional>
#include <string_view>

namespace rowlark::values {

std::optional<bool> readFlag(std::string_view cell);

}  // namespace rowlark::values
