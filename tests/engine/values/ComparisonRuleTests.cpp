#include "engine/values/ComparisonRule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#define ROWLARK_CASE_FOLDER (std::string(std::getenv("ROWLARK_TEST_DATA")) + "/values")
#include "tests/engine/text/CaseFile.h"

#include "engine/values/FlagReading.h"
#include "engine/values/RuleForms.h"

namespace rowlark::values {
namespace {

TEST(ComparisonRule, theTextFormReadsBackAsTheSameRule)
{
    testing::expectCases("rules.txt", [](const std::vector<std::string>& fields) {
        const ComparisonRule rule = ComparisonRule::fromText(fields[0]);
        EXPECT_EQ(ComparisonRule::fromText(rule.text()), rule) << fields[0];
        return rule.text();
    });
    EXPECT_EQ(ComparisonRule(), ComparisonRule::fromText("as-read"));
}

TEST(ComparisonRule, badTextSaysWhatWasWrong)
{
    testing::expectCases("rule-errors.txt", [](const std::vector<std::string>& fields) -> std::string {
        try {
            return "read as " + ComparisonRule::fromText(fields[0]).text();
        } catch (const RuleTextError& error) {
            return error.what();
        }
    });
}

TEST(ReadFlag, readsEveryYesAndNoSpelling)
{
    testing::expectCases("flags.txt", [](const std::vector<std::string>& fields) -> std::string {
        const std::optional<bool> flag = readFlag(fields[0]);
        return flag ? (*flag ? "true" : "false") : "-";
    });
}

// A cell of a case file: its text, and after " @ " the number the file stores, as "1904:N" in the
// 1904 date system.
std::pair<std::string, std::optional<StoredNumber>> storedCell(const std::string& field)
{
    const std::size_t at = field.find(" @ ");
    if (at == std::string::npos)
        return {field, std::nullopt};
    const bool isDate1904 = field.find("1904:", at) != std::string::npos;
    return {field.substr(0, at), StoredNumber{std::stod(field.substr(at + (isDate1904 ? 8 : 3))), isDate1904}};
}

TEST(RuleForm, eachRuleGivesOneFormPerValue)
{
    testing::expectCases("forms.txt", [](const std::vector<std::string>& fields) {
        const auto [cell, stored] = storedCell(fields[0]);
        SideReading reading;
        if (fields[2] == "mark=comma")
            reading.decimalMark = DecimalMark::comma;
        if (fields[2] == "order=dayFirst")
            reading.dayOrder = DayOrder::dayFirst;
        std::string buffer;
        const auto form =
            ruleForm(cell, stored, ComparisonRule::fromText(fields[1]), reading, fields[2] == "ignoreCase", buffer);
        return form ? std::string(*form) : "(as read)";
    });
}

TEST(RuleForm, toleranceNeedsBothValuesRead)
{
    testing::expectCases("within.txt", [](const std::vector<std::string>& fields) {
        const auto [a, storedA] = storedCell(fields[1]);
        const auto [b, storedB] = storedCell(fields[2]);
        return testing::yesOrNo(
            areWithinTolerance(ComparisonRule::fromText(fields[0]), a, storedA, {}, b, storedB, {}));
    });
}

}  // namespace
}  // namespace rowlark::values
