#pragma once

// The comparison rule a column pair's values suggest: numbers when every value of both columns
// reads as a number, dates (with times when any has one) when every value reads as a date, yes/no
// when every value reads as a yes/no value. Judged, like the rest of a column's profile, from its
// first 1,000 rows; empty values and the spellings of an empty value do not count.

#include <cstdint>
#include <optional>

#include "engine/records/Mapping.h"
#include "engine/table/Table.h"
#include "engine/values/ComparisonRule.h"
#include "engine/values/DateReading.h"

namespace rowlark::analysis {

// What every sampled value of a column reads as.
struct ValueShape {
    bool hasValues = false;
    bool areNumbers = true;
    bool areDates = true;
    bool areFlags = true;
    bool hasTimes = false;  // some value read as a date has a time of day
    // The day order of its slashed dates, undecided when no value decides it.
    values::DayOrder dayOrder = values::DayOrder::undecided;

    bool operator==(const ValueShape&) const = default;
};

// Any index is accepted; one outside the table gives a shape without values.
ValueShape valueShape(const table::Table& table, std::int64_t column);

std::optional<values::ComparisonRule> proposedRule(const ValueShape& left, const ValueShape& right);

// The proposal for a mapping's column pair; none without a right column.
std::optional<values::ComparisonRule> proposedRule(const table::Table& left, const table::Table& right,
                                                   const records::ColumnMapping& mapping);
// The proposal of every mapping.
void proposeRules(const table::Table& left, const table::Table& right, std::vector<records::ColumnMapping>& mappings);

}  // namespace rowlark::analysis
