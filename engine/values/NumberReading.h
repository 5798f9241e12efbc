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
