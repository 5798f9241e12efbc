#pragma once

// The number placeholders of a format section ("#,##0.00", "0.00E+00", "# ??/??", "000-00-0000")
// and the texts between them, filled with a number as spreadsheets fill them: digits rounded half
// away from zero on the number's shown decimal value, whole digits beyond the placeholders in
// front of the first one, '0' for a digit that must show, '?' for a space, '#' for nothing.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/workbook/format/FormatTokens.h"

namespace rowlark::workbook::formatting {

class NumberPattern {
public:
    // The pattern of a section's tokens once its date and time fields are written; none where a
    // number cannot be written into them (a '@' beside number placeholders).
    static std::optional<NumberPattern> fromTokens(const std::vector<Token>& tokens);

    bool hasPlaceholders() const { return layout_ != Layout::none; }
    // The section's text for a number's magnitude (finite, >= 0); `isNegative` puts a minus sign
    // in front unless the number shows as zero.
    std::string format(double magnitude, bool isNegative) const;

private:
    enum class Kind { digit, point, comma, percent, exponent, slash, denominator, literal };
    enum class Layout { none, decimal, scientific, fraction };

    struct Item {
        Kind kind;
        char placeholder = 0;  // '0', '#' or '?' for a digit; '+' or '-' for an exponent
        std::string text;      // a literal's text; a fixed denominator's digits; "E" or "e"
    };

    // Digit items: their places among the items and their placeholders.
    using Slots = std::vector<std::pair<std::size_t, char>>;
    // Where each part of the layout lies among the items.
    struct Parts {
        Slots whole;     // before the point, or a fraction's whole number
        Slots fraction;  // after the point, or a fraction's numerator
        Slots exponent;  // after the exponent, or a fraction's denominator
    };

    void classify();
    void settleCommas(std::size_t zoneEnd);
    std::vector<std::string> pieces() const;
    std::string decimalText(double magnitude, bool isNegative) const;
    std::string scientificText(double magnitude, bool isNegative) const;
    std::string fractionText(double magnitude, bool isNegative) const;

    std::vector<Item> items_;
    Layout layout_ = Layout::none;
    Parts parts_;
    bool isGrouped_ = false;  // thousands separators between the whole digits
    int scale_ = 0;           // the power of ten the number is shown at: 2 a percent sign, -3 a trailing comma
};

}  // namespace rowlark::workbook::formatting
