#pragma once

// Number texts as the spreadsheet-reader library's JavaScript writes them where its date and
// time fields show a number: Number's toString, Math.round, and the library's pad0.

#include <string>

namespace rowlark::workbook::formatting {

// The shortest digits that read back as `magnitude` (> 0) and the decimal exponent of the
// first one: magnitude = d.ddd × 10^exponent.
struct Digits {
    std::string digits;
    int exponent = 0;
};

Digits shortestDigits(double magnitude);

// Number.prototype.toString()
std::string jsText(double value);
// Math.round: the nearest integer, halves upwards.
double jsRound(double value);
// The text, or the number's text, with zeros in front up to `width` characters.
std::string pad0(const std::string& text, long width);
std::string pad0(double value, long width);

}  // namespace rowlark::workbook::formatting
