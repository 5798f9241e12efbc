#pragma once

// The character between the fields of a CSV text. Comma files are the rule; spreadsheets in much of
// Europe write semicolons, and their "Unicode text" export writes tabs, so a text's separator is
// detected from its first records unless the file's type or the user names it.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace rowlark::csv {

enum class Separator : char { comma = ',', semicolon = ';', tab = '\t', pipe = '|' };

inline constexpr std::array<Separator, 4> allSeparators = {Separator::comma, Separator::semicolon, Separator::tab,
                                                           Separator::pipe};

// "Comma-separated", "Semicolon-separated", "Tab-separated", "Pipe-separated".
std::string_view title(Separator separator);

// "comma", "semicolon", "tab", "pipe".
std::string_view name(Separator separator);

// The separator a user names: the character itself, its name, or "\t" written out; none otherwise.
std::optional<Separator> separatorNamed(std::string_view text);

// How many records after the header the detection looks at.
inline constexpr std::size_t detectionRecordCount = 1000;

// The separator of the CSV text from byte `start` on. Comma whenever the header record has a comma
// outside quoted fields; otherwise the first of semicolon, tab and pipe that splits the header and
// each of the next `detectionRecordCount` records into the same number of fields, two or more,
// quotes respected (blank lines, which hold no field to split, are passed over); otherwise comma.
// The quotes are those the candidate itself reads, so `id;"name, full"` is semicolon-separated. A
// separator, as a comma, that a combining mark follows is text.
Separator detectSeparator(std::string_view text, std::size_t start = 0);

}  // namespace rowlark::csv
