#pragma once

// The comparable form of a cell under a rule that reads values: the canonical text of its number,
// day, instant or yes/no value, or its text with the ignored parts left out. A cell the rule cannot
// read has no such form: it is compared as read. Workbook number cells are read by the value stored
// in the file, not by their display text.

#include <optional>
#include <string>
#include <string_view>

#include "engine/values/ComparisonRule.h"
#include "engine/values/DateReading.h"
#include "engine/values/Decimal.h"
#include "engine/values/NumberReading.h"

namespace rowlark::values {

// The number a workbook stores for a number cell, and the date system its serials count in.
struct StoredNumber {
    double value = 0;
    bool isDate1904 = false;
};

// How the cells of one side of a column are read: what its values decided (or, where they did not,
// what the user chose).
struct SideReading {
    DecimalMark decimalMark = DecimalMark::point;
    DayOrder dayOrder = DayOrder::undecided;

    bool operator==(const SideReading&) const = default;
};

// Whether the form of `cell` under a rule of `kind` can depend on what the column's values decide:
// for numbers, a cell that may be one and has a comma or a point; for dates, a cell with a slash.
// Others read the same whatever was decided, so their columns need not decide.
bool dependsOnReading(std::string_view cell, RuleKind kind);

// The value of a cell, its stored number first.
std::optional<Decimal> numberOf(std::string_view cell, const std::optional<StoredNumber>& stored,
                                const SideReading& reading);
std::optional<DateTime> dateTimeOf(std::string_view cell, const std::optional<StoredNumber>& stored,
                                   const SideReading& reading);

// The form of `cell` under `rule`, none when the rule is "As read" or "Ignore" or does not read the
// cell. The view points into `cell` when the form is a part of it, else into static storage or
// `buffer` (valid until its next use). `ignoreCase` is the comparison's case switch, which text
// rules follow too.
std::optional<std::string_view> ruleForm(std::string_view cell, const std::optional<StoredNumber>& stored,
                                         const ComparisonRule& rule, const SideReading& reading, bool ignoreCase,
                                         std::string& buffer);

// Whether two cells whose forms differ are still equal under the rule's tolerance: both read, and
// their numbers or instants no further apart than it allows.
bool areWithinTolerance(const ComparisonRule& rule, std::string_view cellA, const std::optional<StoredNumber>& storedA,
                        const SideReading& readingA, std::string_view cellB, const std::optional<StoredNumber>& storedB,
                        const SideReading& readingB);

}  // namespace rowlark::values
