#include "engine/values/ComparisonRule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/values/FlagReading.h"
#include "engine/values/RuleForms.h"

namespace rowlark::values {
namespace {

TEST(ComparisonRule, theTextFormReadsBackAsTheSameRule)
{
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"as-read", "as-read"},
        {"number", "number"},
        {"number:abs=0.010", "number:abs=0.01"},
        {"number:rel=1e-3,abs=5", "number:abs=5,rel=0.001"},
        {"number:abs=0", "number:abs=0"},
        {"date", "date"},
        {"date:order=dmy", "date:order=dmy"},
        {"date:order=dmy/dmy", "date:order=dmy"},
        {"date:order=mdy/dmy", "date:order=mdy/dmy"},
        {"date:order=auto/mdy", "date:order=auto/mdy"},
        {"date:order=auto/auto", "date"},
        {"datetime", "datetime"},
        {"datetime:seconds=1.5", "datetime:seconds=1.5"},
        {"datetime:order=mdy,seconds=60", "datetime:seconds=60,order=mdy"},
        {"yesno", "yesno"},
        {"text", "text"},
        {"text:punct,case", "text:case,punct"},
        {"text:space,punct,case", "text:case,space,punct"},
        {"ignore", "ignore"},
    };
    for (const auto& [input, expected] : texts) {
        const ComparisonRule rule = ComparisonRule::fromText(input);
        EXPECT_EQ(rule.text(), expected) << input;
        EXPECT_EQ(ComparisonRule::fromText(rule.text()), rule) << input;
    }
    EXPECT_EQ(ComparisonRule(), ComparisonRule::fromText("as-read"));
}

TEST(ComparisonRule, badTextSaysWhatWasWrong)
{
    const std::vector<std::pair<std::string, std::string>> errors = {
        {"", "no rule (use as-read, number, date, datetime, yesno, text or ignore)"},
        {"numbers", "unknown rule “numbers” (use as-read, number, date, datetime, yesno, text or ignore)"},
        {"Number", "unknown rule “Number” (use as-read, number, date, datetime, yesno, text or ignore)"},
        {"yesno:case", "yesno takes no options"},
        {"ignore:", "ignore takes no options"},
        {"number:", "unknown option “” for number (use abs=T and rel=R)"},
        {"number:abs", "unknown option “abs” for number (use abs=T and rel=R)"},
        {"number:abs=", "abs needs a number of 0 or more, not “”"},
        {"number:abs=-1", "abs needs a number of 0 or more, not “-1”"},
        {"number:abs=1,5", "unknown option “5” for number (use abs=T and rel=R)"},
        {"number:abs=0.1,abs=0.2", "option “abs” is given twice"},
        {"number:rel=ten", "rel needs a number of 0 or more, not “ten”"},
        {"number:seconds=1", "unknown option “seconds=1” for number (use abs=T and rel=R)"},
        {"date:seconds=1", "unknown option “seconds=1” for date (use order=dmy or order=mdy)"},
        {"date:order=ymd", "order needs dmy or mdy, or one for File A and one for File B as dmy/mdy, not “ymd”"},
        {"date:order=auto", "order needs dmy or mdy, or one for File A and one for File B as dmy/mdy, not “auto”"},
        {"date:order=dmy/mdy/dmy",
         "order needs dmy or mdy, or one for File A and one for File B as dmy/mdy, not “dmy/mdy/dmy”"},
        {"datetime:seconds=1e", "seconds needs a number of 0 or more, not “1e”"},
        {"text:case=1", "unknown option “case=1” for text (use case, space and punct)"},
        {"text:upper", "unknown option “upper” for text (use case, space and punct)"},
    };
    for (const auto& [input, message] : errors) {
        try {
            ComparisonRule::fromText(input);
            ADD_FAILURE() << input << " was read";
        } catch (const RuleTextError& error) {
            EXPECT_EQ(error.what(), message) << input;
        }
    }
}

TEST(ReadFlag, readsEveryYesAndNoSpelling)
{
    for (const std::string cell : {"true", "TRUE", "Yes", "y", "Y", "on", "ON", "1", " yes! ", "T.R.U.E"})
        EXPECT_EQ(readFlag(cell), std::optional(true)) << cell;
    for (const std::string cell : {"false", "No", "n", "N.", "off", "Off", "0", "(no)"})
        EXPECT_EQ(readFlag(cell), std::optional(false)) << cell;
    for (const std::string cell : {"", "maybe", "yess", "01", "1.0", "t", "f", "oui", "n/a", "yes no", "ñ", "ｙｅｓ"})
        EXPECT_EQ(readFlag(cell), std::nullopt) << cell;
}

std::string formText(std::string_view cell, std::string_view rule, const SideReading& reading = {},
                     std::optional<StoredNumber> stored = std::nullopt, bool ignoreCase = false)
{
    std::string buffer;
    const auto form = ruleForm(cell, stored, ComparisonRule::fromText(rule), reading, ignoreCase, buffer);
    return form ? std::string(*form) : "(as read)";
}

TEST(RuleForm, eachRuleGivesOneFormPerValue)
{
    const SideReading comma{.decimalMark = DecimalMark::comma};
    const SideReading dayFirst{.dayOrder = DayOrder::dayFirst};
    EXPECT_EQ(formText(" 63490.0 ", "number"), "63490");
    EXPECT_EQ(formText("1.234,50 €", "number", comma), "1234.5");
    EXPECT_EQ(formText("n/a", "number"), "(as read)");
    EXPECT_EQ(formText("0.333333333", "number", {}, StoredNumber{0.3333333334}), "0.3333333334");
    EXPECT_EQ(formText("2024-03-05", "number", {}, StoredNumber{45356}), "45356");
    EXPECT_EQ(formText("2024-03-05T12:00:00", "datetime"), "2024-03-05T12:00:00");
    EXPECT_EQ(formText("2024-03-05 12:00:00", "date"), "2024-03-05");
    EXPECT_EQ(formText("5/3/2024", "date", dayFirst), "2024-03-05");
    EXPECT_EQ(formText("5/3/2024", "date"), "(as read)");
    EXPECT_EQ(formText("Mar 5", "datetime", {}, StoredNumber{45356.5}), "2024-03-05T12:00:00");
    EXPECT_EQ(formText("Mar 5", "datetime", {}, StoredNumber{43894.5, true}), "2024-03-05T12:00:00");
    EXPECT_EQ(formText("Yes", "yesno"), "true");
    EXPECT_EQ(formText("off", "yesno"), "false");
    EXPECT_EQ(formText("NULL", "yesno"), "(as read)");
    EXPECT_EQ(formText("  Hello,  World!  ", "text"), "Hello,  World!");
    EXPECT_EQ(formText("Hello,  World!", "text:case"), "hello,  world!");
    EXPECT_EQ(formText("Hello,  World!", "text", {}, std::nullopt, true), "hello,  world!");
    EXPECT_EQ(formText("Hello,  World!", "text:space"), "Hello,World!");
    EXPECT_EQ(formText("Hello,\u00A0World!\n", "text:space,punct"), "HelloWorld");
    EXPECT_EQ(formText("«Straße» — ÉTÉ", "text:case,punct,space"), "straßeété");
    EXPECT_EQ(formText("e\u0301", "text"), "\u00E9") << "texts are compared composed";
    EXPECT_EQ(formText("a\xE2\x80 \x89"
                       "b",
                       "text:space"),
              "a\uFFFD\uFFFDb")
        << "bytes that are no UTF-8 do not join into a character once the space between them is left out";
    EXPECT_EQ(formText("NULL", "text"), "NULL") << "text rules compare the text itself";
    EXPECT_EQ(formText("anything", "as-read"), "(as read)");
    EXPECT_EQ(formText("anything", "ignore"), "(as read)");
}

TEST(RuleForm, toleranceNeedsBothValuesRead)
{
    const ComparisonRule rule = ComparisonRule::fromText("number:abs=0.01");
    EXPECT_TRUE(areWithinTolerance(rule, "1.00", std::nullopt, {}, "$1.01", std::nullopt, {}));
    EXPECT_FALSE(areWithinTolerance(rule, "1.00", std::nullopt, {}, "1.011", std::nullopt, {}));
    EXPECT_FALSE(areWithinTolerance(rule, "n/a", std::nullopt, {}, "n/a", std::nullopt, {}));
    EXPECT_TRUE(areWithinTolerance(rule, "0.333333333", StoredNumber{0.3333333334}, {}, "0.3333", std::nullopt, {}));
    const ComparisonRule seconds = ComparisonRule::fromText("datetime:seconds=2");
    EXPECT_TRUE(
        areWithinTolerance(seconds, "2024-03-05 12:00:00", std::nullopt, {}, "2024-03-05T12:00:02Z", std::nullopt, {}));
    EXPECT_FALSE(areWithinTolerance(seconds, "2024-03-05 12:00:00", std::nullopt, {}, "2024-03-05T12:00:02.001",
                                    std::nullopt, {}));
    EXPECT_FALSE(areWithinTolerance(ComparisonRule::fromText("number"), "1", std::nullopt, {}, "1.0", std::nullopt, {}))
        << "a rule without tolerance admits nothing beyond equal forms";
}

}  // namespace
}  // namespace rowlark::values
