#pragma once

// Cell texts as a spreadsheet shows them, worked out natively: the text of a number, a Boolean
// or a text under a number format, the date text of a date cell, and the built-in format table.
// Numbers show their decimal value to 15 significant digits, rounded half away from zero; where
// the spreadsheet-reader library gives a plainly wrong text (1e+21 as "1e,+21", 0.25 under
// "?/4" as "0.25"), these texts are the spreadsheet's, and elsewhere they are the library's.
// Forms not formatted here are "declined" and the caller asks the library (formatWithLibrary).
// Everything is independent of the process locale.

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

// Whether the format shows a date (a year, month or day field): such cells show dateCellText.
// Formats of a time of day or a duration alone ("hh:mm:ss", "h:mm AM/PM", "[h]:mm") are not
// date formats; NumberFormat writes their time.
bool isDateFormat(std::string_view format);

// The text a date cell shows: its date as 2024-03-05, or as 2024-03-05T14:07:09 when it has a
// time of day. A number that is no day of the calendar in the workbook's date system (0 and
// below, 60 of the 1900 system, past 9999-12-31) shows as generalNumberText shows it.
std::string dateCellText(double value, bool isDate1904);

// A cell value as the library sees it: a number, a Boolean or a text.
using CellValue = std::variant<double, bool, std::string>;

// One parsed format text, to be kept and reused for every cell that has it (copies share the
// parsed form). Cells of format id 0 take the format "General" whatever text the workbook gives
// that id. Where the library fails to format a value (it throws), the answer is declined, and
// formatWithLibrary gives the text the cell then shows.
class NumberFormat {
public:
    // None when the text has a form that is not formatted natively: more than four sections,
    // an unterminated quoted text, characters beyond U+FFFF.
    static std::optional<NumberFormat> parse(std::string_view format);

    // The value's text; none ("declined") when the library fails on it or it needs a form that
    // is not formatted natively (the Buddhist and Hijri calendar fields, a '@' beside number
    // placeholders). Non-finite numbers show as "General" shows them. Date and time fields count
    // days from 1900, times rounded to the second (or to the places of a second shown); a
    // number without a date under them shows as "General" shows it; a date cell shows
    // dateCellText instead.
    std::optional<std::string> format(double value) const;
    std::optional<std::string> format(const CellValue& value) const;

private:
    struct Sections;

    NumberFormat() = default;
    std::shared_ptr<const Sections> sections_;  // none for "General"
};

// What "General" shows for a number: up to 15 significant digits, in plain decimal from 1e-4 to
// 2^53 (and down to 1e-9 while at most 16 places suffice), in scientific notation otherwise
// (1E-10, 1.5E+025); infinities as INF and -INF, and NaN.
std::string generalNumberText(double value);

}  // namespace rowlark::workbook
