#pragma once

// How the values of one compared column are compared. "As read" is the comparable form every
// column has by default; the other rules read both sides' cells as numbers, dates, dates and
// times, yes/no values or plain text first, and "Ignore" keeps the column out of the comparison
// (it stays in the inspector and the reports). A rule is a plain value with one text form, the one
// the command line takes ("number:abs=0.01,rel=0.001"), so it can be written down and read back.

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/values/DateReading.h"
#include "engine/values/Decimal.h"

namespace rowlark::values {

enum class RuleKind { asRead, number, date, dateTime, yesNo, text, ignore };

// Rule text that cannot be read; `what()` says what was wrong.
class RuleTextError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

struct ComparisonRule {
    RuleKind kind = RuleKind::asRead;
    // Number: values this far apart still count as equal, absolutely or relative to the larger.
    std::optional<Decimal> absoluteTolerance{};
    std::optional<Decimal> relativeTolerance{};
    // Date and time: instants this many seconds apart still count as equal.
    std::optional<Decimal> secondsTolerance{};
    // Date, date and time: the day order of File A's and File B's slashed dates where that side's
    // values do not decide it.
    std::array<DayOrder, 2> chosenDayOrders{DayOrder::undecided, DayOrder::undecided};
    // Text: what the comparison leaves out.
    bool ignoresCase = false;
    bool ignoresSpace = false;
    bool ignoresPunctuation = false;

    static ComparisonRule of(RuleKind kind)
    {
        ComparisonRule rule;
        rule.kind = kind;
        return rule;
    }
    // Reads the text form. Fails with RuleTextError.
    static ComparisonRule fromText(std::string_view text);
    // "as-read", "number:abs=0.01", "datetime:seconds=5,order=dmy", "text:case,punct", ...; options
    // in a fixed order, numbers in their shortest form, so equal rules have equal texts.
    std::string text() const;

    bool isComparing() const { return kind != RuleKind::ignore; }
    bool readsDates() const { return kind == RuleKind::date || kind == RuleKind::dateTime; }
    // Number and date rules read a workbook's number cells by the value stored in the file.
    bool readsStoredNumbers() const { return kind == RuleKind::number || readsDates(); }
    bool hasTolerance() const { return absoluteTolerance || relativeTolerance || secondsTolerance; }

    bool operator==(const ComparisonRule&) const = default;
};

}  // namespace rowlark::values
