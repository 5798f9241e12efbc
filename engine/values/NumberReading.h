#pragma once

// Cells read as numbers, whatever the notation: thousands separators, a decimal point or a decimal
// comma, a currency symbol or ISO code before or after, a sign or accounting parentheses, a
// trailing percent sign, an exponent. Which mark is the decimal one is decided for a whole column
// from its values, never per cell. Reading is independent of the machine's locale.

#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/values/Decimal.h"

namespace rowlark::values {

enum class DecimalMark { point, comma };

// Texts longer than this many characters are never read as numbers or dates.
inline constexpr std::size_t longestReadText = 1000;

// The value of `cell` with `mark` as its decimal mark, or none when it is not a number written so.
std::optional<Decimal> readNumber(std::string_view cell, DecimalMark mark);

// Whether the cell has a comma or a point and may be a number (it has no letter other than an
// exponent's or a currency code's, and no punctuation numbers lack): whether which mark is the
// decimal one can matter to it. One pass, which most text cells leave at their first letter.
bool hasMarkAndMayBeNumber(std::string_view cell);

// Whether `text` is a whole number in its canonical text ("63490", "-7"), as most key cells are:
// its own form whatever mark its column decided. Inline, for the comparison's innermost loop.
inline bool isCanonicalInteger(std::string_view text)
{
    constexpr std::size_t mostDigits = 21;
    const std::size_t start = !text.empty() && text.front() == '-' ? 1 : 0;
    const std::size_t digits = text.size() - start;
    if (digits == 0 || digits > mostDigits || (text[start] == '0' && (digits > 1 || start == 1)))
        return false;
    for (std::size_t index = start; index < text.size(); ++index)
        if (text[index] < '0' || text[index] > '9')
            return false;
    return true;
}

// Whether `text` is already the canonical text of its value (Decimal::text) as read with `mark`:
// "63490", "-12.5", "0.0165", not "63490.0", "007" or "1E+25". Most numbers in files are.
bool isCanonicalNumber(std::string_view text, DecimalMark mark);

// What the values of one column say about its decimal mark: a cell that reads as a number with one
// mark and not with the other ("1,5", "5.970,56", "1.5", "1,234,567") tells; one that reads the same
// with both, or as two numbers ("1,234"), does not.
class DecimalMarkEvidence {
public:
    void note(std::string_view cell);
    // Once a cell tells for the point, no other cell changes the decision.
    bool isSettled() const { return hasPointEvidence_; }
    // The comma when some cell tells for it and none for the point; else the point.
    DecimalMark decision() const;
    void merge(const DecimalMarkEvidence& other);

private:
    bool hasPointEvidence_ = false;
    bool hasCommaEvidence_ = false;
};

}  // namespace rowlark::values
