#include "engine/analysis/RuleProposal.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "engine/text/Unicode.h"
#include "engine/values/FlagReading.h"
#include "engine/values/NumberReading.h"

namespace rowlark::analysis {
namespace {

constexpr std::size_t sampleRowCount = 1000;

// Empty, white space, or a spelling of an empty value ("NULL", "N/A", "nil").
bool isEmptyValue(std::string_view value)
{
    std::string compact;
    for (std::size_t position = 0; position < value.size();) {
        const char32_t scalar = text::nextScalar(value, position);
        if (!text::isLetterMarkOrNumber(scalar))
            continue;
        if (scalar >= 0x80 || compact.size() == 4)
            return false;
        compact += static_cast<char>(scalar >= 'A' && scalar <= 'Z' ? scalar + 32 : scalar);
    }
    return compact.empty() || compact == "null" || compact == "na" || compact == "nil";
}

struct SampleCell {
    std::string_view text;
    std::optional<values::StoredNumber> stored;
};

}  // namespace

ValueShape valueShape(const table::Table& table, std::int64_t column)
{
    ValueShape shape;
    if (column < 0 || static_cast<std::uint64_t>(column) >= table.columnCount())
        return shape;
    const auto index = static_cast<std::size_t>(column);
    std::vector<SampleCell> sample;
    values::DecimalMarkEvidence marks;
    values::DayOrderEvidence orders;
    for (std::size_t row = 0; row < std::min(table.rowCount(), sampleRowCount); ++row) {
        const std::string_view cell = table.cell(row, index);
        if (isEmptyValue(cell))
            continue;
        sample.push_back({cell, table.storedNumber(row, index)});
        if (!sample.back().stored) {
            marks.note(cell);
            orders.note(cell);
        }
    }
    shape.hasValues = !sample.empty();
    shape.dayOrder = orders.decision();
    const values::DecimalMark mark = marks.decision();
    for (const SampleCell& cell : sample) {
        if (!shape.areNumbers && !shape.areDates && !shape.areFlags)
            break;
        // A number cell of a workbook is a number when it shows one, else a date or time.
        const bool showsNumber =
            values::readNumber(cell.text, cell.stored ? values::DecimalMark::point : mark).has_value();
        shape.areNumbers = shape.areNumbers && showsNumber;
        shape.areFlags = shape.areFlags && !cell.stored && values::readFlag(cell.text).has_value();
        if (!shape.areDates)
            continue;
        std::optional<values::DateTime> date;
        if (cell.stored)
            date = showsNumber ? std::nullopt : values::dateTimeOfSerial(cell.stored->value, cell.stored->isDate1904);
        else if (shape.dayOrder != values::DayOrder::undecided)
            date = values::readDateTime(cell.text, shape.dayOrder);
        else if (!(date = values::readDateTime(cell.text, values::DayOrder::dayFirst)))
            date = values::readDateTime(cell.text, values::DayOrder::monthFirst);
        shape.areDates = date.has_value();
        shape.hasTimes = shape.hasTimes || (date && date->hasTime);
    }
    return shape;
}

std::optional<values::ComparisonRule> proposedRule(const ValueShape& left, const ValueShape& right)
{
    if (!left.hasValues || !right.hasValues)
        return std::nullopt;
    if (left.areNumbers && right.areNumbers)
        return values::ComparisonRule::of(values::RuleKind::number);
    if (left.areDates && right.areDates)
        return values::ComparisonRule::of(left.hasTimes || right.hasTimes ? values::RuleKind::dateTime
                                                                          : values::RuleKind::date);
    if (left.areFlags && right.areFlags)
        return values::ComparisonRule::of(values::RuleKind::yesNo);
    return std::nullopt;
}

std::optional<values::ComparisonRule> proposedRule(const table::Table& left, const table::Table& right,
                                                   const records::ColumnMapping& mapping)
{
    if (!mapping.rightIndex)
        return std::nullopt;
    return proposedRule(valueShape(left, mapping.leftIndex), valueShape(right, *mapping.rightIndex));
}

void proposeRules(const table::Table& left, const table::Table& right, std::vector<records::ColumnMapping>& mappings)
{
    for (records::ColumnMapping& mapping : mappings)
        mapping.proposedRule = proposedRule(left, right, mapping);
}

}  // namespace rowlark::analysis
