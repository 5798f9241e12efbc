#pragma once

// What the values of one side of a column decide for a rule that reads them: the decimal mark of
// its numbers and the day order of its slashed dates. Every text cell of the column has its say;
// a workbook's number cells do not, being read by their stored numbers. Where the values do not
// decide the day order, the user's choice for that side stands.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string_view>

#include "engine/table/Table.h"
#include "engine/values/ComparisonRule.h"
#include "engine/values/RuleForms.h"

namespace rowlark::compare {

// `side` is 0 for File A and 1 for File B; `workers` as for the comparison (0: one per core). A
// column outside the table reads with the defaults.
values::SideReading decideReading(const table::Table& table, std::size_t column, const values::ComparisonRule& rule,
                                  std::size_t side, unsigned workers);

// One side of a compared column under its rule. The side's reading is decided the first time a
// cell needs it, by whichever thread asks first: most cells read alike whatever was decided
// ("63490", "2024-03-05"), so a column of them never pays for looking at all its values.
class SideRule {
public:
    SideRule() = default;
    SideRule(const table::Table& table, std::size_t column, values::ComparisonRule rule, std::size_t side,
             unsigned workers);

    const values::ComparisonRule& rule() const { return rule_; }
    // The rule reads stored numbers and the column has number cells.
    bool readsStoredNumbers() const { return readsStoredNumbers_; }
    // The reading `cell` is read with: the decided one when its form depends on it, else any.
    const values::SideReading& readingFor(std::string_view cell) const;
    const values::SideReading& reading() const;

private:
    const table::Table* table_ = nullptr;
    std::size_t column_ = 0;
    values::ComparisonRule rule_;
    std::size_t side_ = 0;
    unsigned workers_ = 0;
    bool readsStoredNumbers_ = false;
    std::unique_ptr<std::once_flag> decided_ = std::make_unique<std::once_flag>();
    mutable values::SideReading reading_;
};

}  // namespace rowlark::compare
