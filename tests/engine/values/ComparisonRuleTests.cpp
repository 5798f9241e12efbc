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

// How a file is read, from "mark=comma", "order=dayFirst", "stored=N", "stored1904=N" or "ignoreCase".
struct FileReading {
    SideReading side;
    std::optional<StoredNumber> stored;
    bool ignoresCase = false;
};

FileReading fileReading(const std::string& text)
{
    FileReading reading;
    if (text == "mark=comma")
        reading.side.decimalMark = DecimalMark::comma;
    else if (text == "order=dayFirst")
        reading.side.dayOrder = DayOrder::dayFirst;
    else if (text.starts_with("stored"))
        reading.stored = StoredNumber{std::stod(text.substr(text.find('=') + 1)), text.starts_with("stored1904")};
    reading.ignoresCase = text == "ignoreCase";
    return reading;
}

TEST(RuleForm, eachRuleGivesOneFormPerValue)
{
    testing::expectCases("forms.txt", [](const std::vector<std::string>& fields) {
        const FileReading reading = fileReading(fields[2]);
        std::string buffer;
        const auto form = ruleForm(fields[0], reading.stored, ComparisonRule::fromText(fields[1]), reading.side,
                                   reading.ignoresCase, buffer);
        return form ? std::string(*form) : "(as read)";
    });
}

TEST(RuleForm, toleranceNeedsBothValuesRead)
{
    testing::expectCases("within.txt", [](const std::vector<std::string>& fields) {
        const auto cell = [&](std::size_t field) { return fields[field].substr(0, fields[field].find(" @ ")); };
        const auto stored = [&](std::size_t field) {
            const std::size_t at = fields[field].find(" @ ");
            return at == std::string::npos ? std::nullopt
                                           : std::optional(StoredNumber{std::stod(fields[field].substr(at + 3))});
        };
        return testing::yesOrNo(
            areWithinTolerance(ComparisonRule::fromText(fields[0]), cell(1), stored(1), {}, cell(2), stored(2), {}));
    });
}

}  // namespace
}  // namespace rowlark::values
