#include "engine/values/ComparisonRule.h"

#include <algorithm>
#include <array>
#include <vector>

namespace rowlark::values {
namespace {

struct KindName {
    RuleKind kind;
    std::string_view name;
};

constexpr std::array<KindName, 7> kindNames{{
    {RuleKind::asRead, "as-read"},
    {RuleKind::number, "number"},
    {RuleKind::date, "date"},
    {RuleKind::dateTime, "datetime"},
    {RuleKind::yesNo, "yesno"},
    {RuleKind::text, "text"},
    {RuleKind::ignore, "ignore"},
}};

std::string quoted(std::string_view text)
{
    return "“" + std::string(text) + "”";
}

std::string_view nameOf(RuleKind kind)
{
    return std::ranges::find(kindNames, kind, &KindName::kind)->name;
}

// What a rule of each kind accepts after its colon, for the error that names a wrong option.
std::string_view optionsHelp(RuleKind kind)
{
    switch (kind) {
    case RuleKind::number:
        return "abs=T and rel=R";
    case RuleKind::date:
        return "order=dmy or order=mdy";
    case RuleKind::dateTime:
        return "seconds=S and order=dmy or order=mdy";
    case RuleKind::text:
        return "case, space and punct";
    case RuleKind::asRead:
    case RuleKind::yesNo:
    case RuleKind::ignore:
        break;
    }
    return {};
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

Decimal tolerance(std::string_view name, std::string_view value)
{
    const std::optional<Decimal> number = Decimal::fromPlainText(value);
    if (!number || number->isNegative)
        throw RuleTextError(std::string(name) + " needs a number of 0 or more, not " + quoted(value));
    return *number;
}

std::optional<DayOrder> dayOrderNamed(std::string_view name)
{
    if (name == "dmy")
        return DayOrder::dayFirst;
    if (name == "mdy")
        return DayOrder::monthFirst;
    if (name == "auto")
        return DayOrder::undecided;
    return std::nullopt;
}

std::string_view dayOrderName(DayOrder order)
{
    switch (order) {
    case DayOrder::dayFirst:
        return "dmy";
    case DayOrder::monthFirst:
        return "mdy";
    case DayOrder::undecided:
        break;
    }
    return "auto";
}

std::array<DayOrder, 2> dayOrders(std::string_view value)
{
    const std::vector<std::string_view> sides = split(value, '/');
    std::array<DayOrder, 2> orders{};
    for (std::size_t side = 0; side < orders.size(); ++side) {
        const std::optional<DayOrder> order =
            sides.size() <= 2 ? dayOrderNamed(sides[std::min(side, sides.size() - 1)]) : std::nullopt;
        if (!order || (sides.size() == 1 && *order == DayOrder::undecided))
            throw RuleTextError("order needs dmy or mdy, or one for File A and one for File B as dmy/mdy, not " +
                                quoted(value));
        orders[side] = *order;
    }
    return orders;
}

// Applies one option to `rule`; false when its kind has no such option.
bool applyOption(ComparisonRule& rule, std::string_view name, std::optional<std::string_view> value)
{
    const bool isNumber = rule.kind == RuleKind::number;
    if (value && isNumber && name == "abs")
        rule.absoluteTolerance = tolerance(name, *value);
    else if (value && isNumber && name == "rel")
        rule.relativeTolerance = tolerance(name, *value);
    else if (value && rule.kind == RuleKind::dateTime && name == "seconds")
        rule.secondsTolerance = tolerance(name, *value);
    else if (value && rule.readsDates() && name == "order")
        rule.chosenDayOrders = dayOrders(*value);
    else if (!value && rule.kind == RuleKind::text && name == "case")
        rule.ignoresCase = true;
    else if (!value && rule.kind == RuleKind::text && name == "space")
        rule.ignoresSpace = true;
    else if (!value && rule.kind == RuleKind::text && name == "punct")
        rule.ignoresPunctuation = true;
    else
        return false;
    return true;
}

std::string orderText(const std::array<DayOrder, 2>& orders)
{
    if (orders[0] == orders[1])
        return std::string(dayOrderName(orders[0]));
    return std::string(dayOrderName(orders[0])) + "/" + std::string(dayOrderName(orders[1]));
}

}  // namespace

ComparisonRule ComparisonRule::fromText(std::string_view text)
{
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const auto kind = std::ranges::find(kindNames, name, &KindName::name);
    if (kind == kindNames.end())
        throw RuleTextError((name.empty() ? std::string("no rule") : "unknown rule " + quoted(name)) +
                            " (use as-read, number, date, datetime, yesno, text or ignore)");
    ComparisonRule rule = of(kind->kind);
    if (colon == std::string_view::npos)
        return rule;
    if (optionsHelp(rule.kind).empty())
        throw RuleTextError(std::string(name) + " takes no options");
    std::vector<std::string_view> seen;
    for (const std::string_view option : split(text.substr(colon + 1), ',')) {
        const std::size_t equals = option.find('=');
        const std::string_view optionName = option.substr(0, equals);
        if (std::ranges::find(seen, optionName) != seen.end())
            throw RuleTextError("option " + quoted(optionName) + " is given twice");
        seen.push_back(optionName);
        const std::optional<std::string_view> value =
            equals == std::string_view::npos ? std::nullopt : std::optional(option.substr(equals + 1));
        if (!applyOption(rule, optionName, value))
            throw RuleTextError("unknown option " + quoted(option) + " for " + std::string(name) + " (use " +
                                std::string(optionsHelp(rule.kind)) + ")");
    }
    return rule;
}

std::string ComparisonRule::text() const
{
    std::vector<std::string> options;
    if (absoluteTolerance)
        options.push_back("abs=" + absoluteTolerance->text());
    if (relativeTolerance)
        options.push_back("rel=" + relativeTolerance->text());
    if (secondsTolerance)
        options.push_back("seconds=" + secondsTolerance->text());
    if (readsDates() && chosenDayOrders != std::array{DayOrder::undecided, DayOrder::undecided})
        options.push_back("order=" + orderText(chosenDayOrders));
    if (ignoresCase)
        options.emplace_back("case");
    if (ignoresSpace)
        options.emplace_back("space");
    if (ignoresPunctuation)
        options.emplace_back("punct");
    std::string result(nameOf(kind));
    for (std::size_t index = 0; index < options.size(); ++index)
        result.append(index == 0 ? ":" : ",").append(options[index]);
    return result;
}

}  // namespace rowlark::values
