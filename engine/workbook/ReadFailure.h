#pragma once

// What the user reads when a file could not be read: which side, which file, and why.

#include <exception>
#include <string>
#include <string_view>

namespace rowlark::workbook {

// "File A", "File B".
std::string_view sideName(bool isLeftSide);

// The failure to read `fileName` as the user reads it, naming the side when there is one ("File A",
// "File B"; empty for none). An import error keeps its own message after the side and the file:
// "File B (orders.csv): The CSV has no header row." An error of the file system is put in words
// that name the file, rather than the system's: "File B: orders.csv is a folder, not a file."
std::string readFailureMessage(std::string_view side, std::string_view fileName, const std::exception& error);

}  // namespace rowlark::workbook
