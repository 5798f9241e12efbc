#pragma once

// Exact decimal numbers: a value is its digits times a power of ten, compared and subtracted
// without rounding, so 1, 1.0, 1.00 and 1E0 are one value and 0.1 + 0.2 is 0.3. The exponent is
// bounded as in common decimal libraries (at most 18 digits), which any text of a cell keeps to.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rowlark::values {

struct Decimal {
    bool isNegative = false;    // never for zero
    std::string digits;         // ASCII digits without leading or trailing zeros; empty for zero
    std::int64_t exponent = 0;  // the value is digits × 10^exponent; 0 for zero

    bool isZero() const { return digits.empty(); }
    // The power of ten of the leading digit: 2 for 123, -2 for 0.0165.
    std::int64_t leadingExponent() const { return exponent + static_cast<std::int64_t>(digits.size()) - 1; }

    // One text per value: positional ("-12.5", "0.0165", "63490") while the leading digit's power
    // lies in [-6, 21), else scientific ("1.5E+25", "2E-9"); zero is "0".
    std::string text() const;

    // Reads `[+-]digits[.digits][(e|E)[+-]digits]` (a side of the point may lack digits, not both).
    static std::optional<Decimal> fromPlainText(std::string_view text);
    // The shortest decimal that reads back as `value`, as a spreadsheet's stored number is written
    // out; none for infinities and NaN.
    static std::optional<Decimal> fromDouble(double value);
    // The value of `negative`, `integerDigits`.`fractionDigits` × 10^(`exponent` − `shift`), where
    // `exponentDigits` (with `isExponentNegative`) holds the written exponent; none when that has more
    // than 18 significant digits, or when the power of the value's leading digit has.
    static std::optional<Decimal> fromParts(bool negative, std::string_view integerDigits,
                                            std::string_view fractionDigits, bool isExponentNegative,
                                            std::string_view exponentDigits, std::int64_t shift = 0);

    bool operator==(const Decimal&) const = default;
};

// The order of the values.
std::strong_ordering compare(const Decimal& a, const Decimal& b);
Decimal absolute(Decimal value);
Decimal product(const Decimal& a, const Decimal& b);

// Whether a and b lie within `absoluteTolerance` of each other (|a − b| ≤ t) or within
// `relativeTolerance` of the larger magnitude (|a − b| ≤ r × max(|a|, |b|)); equal values always do.
bool isWithinTolerance(const Decimal& a, const Decimal& b, const std::optional<Decimal>& absoluteTolerance,
                       const std::optional<Decimal>& relativeTolerance);

}  // namespace rowlark::values
