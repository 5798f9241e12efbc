#pragma once

// The decimal digits of a number as a spreadsheet shows them: its decimal value as typed (the
// shortest digits that read back as it) to at most 15 significant digits, rounded half away from
// zero, and from there rounded again half away from zero to the places a format shows. Rounding
// the decimal value rather than the binary one is what makes 1.005 show as 1.01 under "0.00",
// and 15 digits is what makes 1e21 show as a 1 with 21 zeros.

#include <string>

namespace rowlark::workbook::formatting {

// The value 0.d1d2d3… × 10^pointPosition, without trailing zeros: 123.45 is ("12345", 3), 0.0012
// is ("12", -2); zero has no digits.
struct ShownDigits {
    std::string digits;
    int pointPosition = 0;

    bool isZero() const { return digits.empty(); }
    // The exponent of the first digit in scientific notation: 123.45 has 2.
    int leadingExponent() const { return pointPosition - 1; }
    // The digits before the point, empty below 1.
    std::string wholeDigits() const;
    // Exactly `places` digits after the point.
    std::string fractionDigits(int places) const;
    // Rounded half away from zero to `places` places after the point (before it when negative).
    ShownDigits roundedTo(int places) const;
    // Multiplied by 10^exponent.
    ShownDigits shifted(int exponent) const;
};

// The digits of a finite magnitude (>= 0).
ShownDigits shownDigits(double magnitude);

}  // namespace rowlark::workbook::formatting
