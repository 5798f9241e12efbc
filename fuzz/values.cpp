// Reads the input as cells under every comparison rule and as a rule's text. A number's canonical
// text reads back as the same number, a form that reads again is its own form, and two values
// within a tolerance are so in either order; a rule's text reads back as the same rule.
// The input's first line is one cell, the rest another.

#include "engine/values/ComparisonRule.h"
#include "engine/values/DateReading.h"
#include "engine/values/Decimal.h"
#include "engine/values/FlagReading.h"
#include "engine/values/NumberReading.h"
#include "engine/values/RuleForms.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace rowlark;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkNumber(std::string_view cell, values::DecimalMark mark)
{
    const std::optional<values::Decimal> number = values::readNumber(cell, mark);
    if (!number)
        return;
    const std::string text = number->text();
    check(values::Decimal::fromPlainText(text) == number);
    check(values::readNumber(text, values::DecimalMark::point) == number);
    check(values::compare(*number, *number) == 0);
}

void checkDate(std::string_view cell, values::DayOrder order)
{
    const std::optional<values::DateTime> value = values::readDateTime(cell, order);
    if (!value)
        return;
    check(values::readDateTime(value->dateText(), order).has_value());
    // An offset may move the instant out of the years 1 to 9999, which no text reads back into.
    if (value->offsetMinutes != 0)
        return;
    const std::optional<values::DateTime> instant = values::readDateTime(value->instantText(), order);
    check(instant && instant->instant() == value->instant());
}

void checkForms(std::string_view cell)
{
    constexpr std::array<std::string_view, 6> rules{"number", "date", "datetime", "yesno", "text:case,space,punct",
                                                    "text"};
    for (const std::string_view text : rules) {
        const values::ComparisonRule rule = values::ComparisonRule::fromText(text);
        std::string buffer;
        const auto form = values::ruleForm(cell, std::nullopt, rule, {}, false, buffer);
        if (!form)
            continue;
        const std::string kept(*form);
        std::string again;
        if (const auto twice = values::ruleForm(kept, std::nullopt, rule, {}, false, again))
            check(*twice == kept);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string_view first = input.substr(0, lineEnd);
    const std::string_view second = lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);
    for (const std::string_view cell : {first, second}) {
        checkNumber(cell, values::DecimalMark::point);
        checkNumber(cell, values::DecimalMark::comma);
        for (const values::DayOrder order :
             {values::DayOrder::undecided, values::DayOrder::dayFirst, values::DayOrder::monthFirst})
            checkDate(cell, order);
        (void)values::readFlag(cell);
        checkForms(cell);
        values::DecimalMarkEvidence marks;
        marks.note(cell);
        values::DayOrderEvidence orders;
        orders.note(cell);
    }
    const std::optional<values::Decimal> a = values::readNumber(first, values::DecimalMark::point);
    const std::optional<values::Decimal> b = values::readNumber(second, values::DecimalMark::point);
    if (a && b) {
        const std::optional<values::Decimal> tolerance = values::Decimal::fromPlainText("0.5");
        check(values::isWithinTolerance(*a, *b, tolerance, tolerance) ==
              values::isWithinTolerance(*b, *a, tolerance, tolerance));
        check(values::isWithinTolerance(*a, *b, std::nullopt, std::nullopt) == (*a == *b));
        check((values::compare(*a, *b) == 0) == (*a == *b));
    }
    try {
        const values::ComparisonRule rule = values::ComparisonRule::fromText(input);
        check(values::ComparisonRule::fromText(rule.text()) == rule);
    } catch (const values::RuleTextError&) {
    }
    return 0;
}
