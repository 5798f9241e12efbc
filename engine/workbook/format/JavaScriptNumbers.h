#pragma once

// Number texts as the spreadsheet-reader library's JavaScript writes them: Number's toString,
// toFixed, toPrecision and toExponential, Math.round and Math.pow, and the library's own helpers
// built on them. The library formats in JavaScript, so its texts are these texts put through a
// long chain of pattern rewrites.

#include <string>
#include <string_view>

namespace rowlark::workbook::formatting {

// The shortest digits that read back as `magnitude` (> 0) and the decimal exponent of the
// first one: magnitude = d.ddd × 10^exponent.
struct Digits {
    std::string digits;
    int exponent = 0;
};

Digits shortestDigits(double magnitude);
// `precision` significant digits of magnitude (> 0), rounded as JavaScript rounds them.
Digits precisionDigits(double magnitude, int precision);

// Number.prototype.toString()
std::string jsText(double value);
// Number.prototype.toFixed(places)
std::string jsFixed(double value, int places);
// Number.prototype.toPrecision(precision)
std::string jsPrecision(double value, int precision);
// Number.prototype.toExponential(places)
std::string jsExponential(double value, int places);
// Math.round: the nearest integer, halves upwards.
double jsRound(double value);
// (value | 0) === value
bool isInt32(double value);
// Math.pow(10, exponent) as the script engine computes it.
double powerOfTen(long exponent);
// Math.floor(Math.log(value) * Math.LOG10E)
double log10Floor(double value);

// The library's text helpers.
std::string pad0(const std::string& text, long width);
std::string pad0(double value, long width);
std::string pad0r(double value, long width);
// '#' stands for nothing, '?' for a space.
std::string hashq(std::string_view text);
std::string commaify(const std::string& text);
// "" + Math.round(value × 10^places) / 10^places
std::string rnd(double value, long places);
// The places-digit fraction of value, 0 when it rounds up to a whole unit.
double dec(double value, long places);
int carry(double value, long places);

}  // namespace rowlark::workbook::formatting
