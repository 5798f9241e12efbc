#pragma once

// What the values of one side of a column decide for a rule that reads them: the decimal mark of
// its numbers and the day order of its slashed dates. Every text cell of the column has its say;
// a workbook's number cells do not, being read by their stored numbers. Where the values do not
// decide the day order, the user's choice for that side stands.

#include <cstddef>

#include "engine/table/Table.h"
#include "engine/values/ComparisonRule.h"
#include "engine/values/RuleForms.h"

namespace rowlark::compare {

// `side` is 0 for File A and 1 for File B; `workers` as for the comparison (0: one per core). A
// column outside the table reads with the defaults.
values::SideReading decideReading(const table::Table& table, std::size_t column, const values::ComparisonRule& rule,
                                  std::size_t side, unsigned workers);

}  // namespace rowlark::compare
