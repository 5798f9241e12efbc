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

// The number a file stores for a cell: "N", or "1904:N" in the 1904 date system; empty for none.
std::optional<StoredNumber> stored(const std::string& field)
{
    if (field.empty())
        return std::nullopt;
    const bool isDate1904 = field.starts_with("1904:");
    return StoredNumber{std::stod(field.substr(isDate1904 ? 5 : 0)), isDate1904};
}

TEST(RuleForm, eachRuleGivesOneFormPerValue)
{
    testing::expectCases("forms.txt", [](const std::vector<std::string>& fields) {
        SideReading reading;
        if (fields[3] == "mark=comma")
            reading.decimalMark = DecimalMark::comma;
        if (fields[3] == "order=dayFirst")
            reading.dayOrder = DayOrder::dayFirst;
        std::string buffer;
        const auto form = ruleForm(fields[0], stored(fields[1]), ComparisonRule::fromText(fields[2]), reading,
                                   fields[3] == "ignoreCase", buffer);
        return form ? std::string(*form) : "(as read)";
    });
}

TEST(RuleForm, toleranceNeedsBothValuesRead)
{
    testing::expectCases("within.txt", [](const std::vector<std::string>& fields) {
        return testing::yesOrNo(areWithinTolerance(ComparisonRule::fromText(fields[0]), fields[1], stored(fields[2]),
                                                   {}, fields[3], stored(fields[4]), {}));
    });
}

}  // namespace
}  // namespace rowlark::values
