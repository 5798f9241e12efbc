#include "engine/results/RuleTexts.h"

#include <vector>

namespace rowlark::results {
namespace {

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items)
{
    std::string text;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (index > 0)
            text += index + 1 == items.size() ? " and " : ", ";
        text += items[index];
    }
    return text;
}

std::string percentText(const values::Decimal& fraction)
{
    values::Decimal percent = fraction;
    if (!percent.isZero())
        percent.exponent += 2;
    return percent.text() + "%";
}

std::string dayOrderText(const std::array<values::DayOrder, 2>& orders)
{
    const auto name = [](values::DayOrder order) -> std::string {
        switch (order) {
        case values::DayOrder::dayFirst:
            return "day first";
        case values::DayOrder::monthFirst:
            return "month first";
        case values::DayOrder::undecided:
            break;
        }
        return "as the values decide";
    };
    if (orders[0] == orders[1])
        return name(orders[0]);
    return name(orders[0]) + " in File A, " + name(orders[1]) + " in File B";
}

}  // namespace

std::string_view ruleTitle(values::RuleKind kind)
{
    switch (kind) {
    case values::RuleKind::asRead:
        return "As read";
    case values::RuleKind::number:
        return "Number";
    case values::RuleKind::date:
        return "Date";
    case values::RuleKind::dateTime:
        return "Date and time";
    case values::RuleKind::yesNo:
        return "Yes/no";
    case values::RuleKind::text:
        return "Text";
    case values::RuleKind::ignore:
        return "Ignore";
    }
    return {};
}

std::string ruleDescription(const values::ComparisonRule& rule)
{
    std::string text(ruleTitle(rule.kind));
    std::vector<std::string> tolerances;
    if (rule.absoluteTolerance)
        tolerances.push_back(rule.absoluteTolerance->text());
    if (rule.relativeTolerance)
        tolerances.push_back(percentText(*rule.relativeTolerance));
    if (rule.secondsTolerance)
        tolerances.push_back(rule.secondsTolerance->text() + " s");
    if (!tolerances.empty())
        text += " within " + tolerances.front() + (tolerances.size() > 1 ? " or " + tolerances.back() : "");
    if (rule.readsDates() &&
        rule.chosenDayOrders != std::array{values::DayOrder::undecided, values::DayOrder::undecided})
        text += ", " + dayOrderText(rule.chosenDayOrders);
    std::vector<std::string> ignored;
    if (rule.ignoresCase)
        ignored.emplace_back("case");
    if (rule.ignoresSpace)
        ignored.emplace_back("white space");
    if (rule.ignoresPunctuation)
        ignored.emplace_back("punctuation");
    if (!ignored.empty())
        text += " ignoring " + listed(ignored);
    return text;
}

std::string_view formatOnlyNoun(values::RuleKind kind)
{
    switch (kind) {
    case values::RuleKind::number:
        return "number";
    case values::RuleKind::date:
        return "date";
    case values::RuleKind::dateTime:
        return "date and time";
    case values::RuleKind::yesNo:
        return "yes/no value";
    case values::RuleKind::asRead:
    case values::RuleKind::text:
    case values::RuleKind::ignore:
        break;
    }
    return "text";
}

std::string_view comparedAsText(values::RuleKind kind)
{
    switch (kind) {
    case values::RuleKind::number:
        return "as numbers";
    case values::RuleKind::date:
        return "as dates";
    case values::RuleKind::dateTime:
        return "as dates and times";
    case values::RuleKind::yesNo:
        return "as yes/no values";
    case values::RuleKind::asRead:
        return "as read";
    case values::RuleKind::text:
    case values::RuleKind::ignore:
        break;
    }
    return "as text";
}

std::string proposalAction(values::RuleKind kind)
{
    return "Compare " + std::string(comparedAsText(kind));
}

}  // namespace rowlark::results
