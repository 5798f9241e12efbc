#include "engine/compare/ColumnReadings.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/table/Parallel.h"

namespace rowlark::compare {
namespace {

constexpr std::size_t rowsPerTask = 65536;

// Notes the text cells of `column` into one evidence per task, and merges them.
template<typename Evidence> Evidence evidenceOf(const table::Table& table, std::size_t column, unsigned workers)
{
    const std::size_t taskCount = (table.rowCount() + rowsPerTask - 1) / rowsPerTask;
    std::vector<Evidence> parts(taskCount);
    const bool hasNumberCells = table.hasNumberCells(column);
    table::runInParallel(taskCount, workers, [&](std::size_t task) {
        Evidence& evidence = parts[task];
        const std::size_t end = std::min(table.rowCount(), (task + 1) * rowsPerTask);
        for (std::size_t row = task * rowsPerTask; row < end && !evidence.isSettled(); ++row)
            if (!hasNumberCells || !table.storedNumber(row, column))
                evidence.note(table.cell(row, column));
    });
    Evidence all;
    for (const Evidence& part : parts)
        all.merge(part);
    return all;
}

}  // namespace

values::SideReading decideReading(const table::Table& table, std::size_t column, const values::ComparisonRule& rule,
                                  std::size_t side, unsigned workers)
{
    values::SideReading reading;
    if (column >= table.columnCount())
        return reading;
    if (rule.kind == values::RuleKind::number)
        reading.decimalMark = evidenceOf<values::DecimalMarkEvidence>(table, column, workers).decision();
    if (rule.readsDates()) {
        reading.dayOrder = evidenceOf<values::DayOrderEvidence>(table, column, workers).decision();
        if (reading.dayOrder == values::DayOrder::undecided)
            reading.dayOrder = rule.chosenDayOrders[side];
    }
    return reading;
}

SideRule::SideRule(const table::Table& table, std::size_t column, values::ComparisonRule rule, std::size_t side,
                   unsigned workers)
    : table_(&table)
    , column_(column)
    , rule_(std::move(rule))
    , side_(side)
    , workers_(workers)
    , readsStoredNumbers_(rule_.readsStoredNumbers() && table.hasNumberCells(column))
{
}

const values::SideReading& SideRule::readingFor(std::string_view cell) const
{
    static const values::SideReading any;
    return values::dependsOnReading(cell, rule_.kind) ? reading() : any;
}

const values::SideReading& SideRule::reading() const
{
    std::call_once(*decided_, [this] {
        if (table_)
            reading_ = decideReading(*table_, column_, rule_, side_, workers_);
    });
    return reading_;
}

}  // namespace rowlark::compare
