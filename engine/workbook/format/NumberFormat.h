#pragma once

// Cell texts as the spreadsheet-reader library writes them, worked out natively: the text of a
// number, a Boolean or a text under a number format, the date text of a date cell, and the
// library's built-in format table. Only the format forms whose output has been checked against
// the library are formatted here; for any other form the answer is "declined" and the caller
// asks the library (formatWithLibrary). Everything is independent of the process locale.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rowlark::workbook {

// The format text the library uses for a built-in format id, as its XLSX reader sees it; none
// for ids it has no text for (the library then formats such cells as "General").
std::optional<std::string_view> builtInNumberFormat(int id);

// Whether the library treats the format as a date or time format.
bool isDateFormat(std::string_view format);

// The text a date cell shows: its date as 2024-03-05, or as 2024-03-05T14:07:09 when it has a
// time of day; empty for values outside the library's date range.
std::string dateCellText(double value, bool isDate1904);

// A cell value as the library sees it: a number, a Boolean or a text.
using CellValue = std::variant<double, bool, std::string>;

// One parsed format text, to be kept and reused for every cell that has it (copies share the
// parsed form). Cells of format id 0 take the format "General" whatever text the workbook gives
// that id. The texts are what the library's XLSX reader gives a cell as its formatted text; where
// the library fails to format a value (it throws), the answer is declined, and formatWithLibrary
// gives the text the cell then shows.
class NumberFormat {
public:
    // None when the text has a form that is not formatted natively: conditions such as [>100],
    // more than four sections, an unterminated quoted text, characters beyond U+FFFF.
    static std::optional<NumberFormat> parse(std::string_view format);

    // The library's text for the value; none ("declined") when the library fails on it or it
    // needs a form that is not formatted natively (the Buddhist and Hijri calendar fields, a
    // non-finite number). Date and time fields count days from 1900; a date cell shows
    // dateCellText instead.
    std::optional<std::string> format(double value) const;
    std::optional<std::string> format(const CellValue& value) const;

private:
    struct Sections;

    NumberFormat() = default;
    std::shared_ptr<const Sections> sections_;  // none for "General"
};

// What "General" shows for a number: integers as they are, other numbers in at most eleven
// characters.
std::string generalNumberText(double value);

}  // namespace rowlark::workbook
