#include "text/JSON.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "text/JSONReader.h"

namespace rowlark::text {
namespace {

using namespace std::string_literals;

std::string nested(std::size_t depth, std::string_view innermost = "1")
{
    return std::string(depth, '[') + std::string(innermost) + std::string(depth, ']');
}

struct SpellingCase {
    std::string token;
    std::string expected;

    friend void PrintTo(const SpellingCase& spelling, std::ostream* out) { *out << spelling.token; }
};

class CanonicalJSONNumberTest : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(CanonicalJSONNumberTest, SpellsTheExactValueOneWay)
{
    EXPECT_EQ(canonicalJSONNumber(GetParam().token), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EqualValues, CanonicalJSONNumberTest,
                         ::testing::Values(SpellingCase{"1.50", "1.5"}, SpellingCase{"15e-1", "1.5"},
                                           SpellingCase{"1.5", "1.5"}, SpellingCase{"0.15E+1", "1.5"},
                                           SpellingCase{"1.0", "1"}, SpellingCase{"1", "1"}, SpellingCase{"1e0", "1"},
                                           SpellingCase{"100e-2", "1"}, SpellingCase{"-0", "0"},
                                           SpellingCase{"-0.000e7", "0"}, SpellingCase{"0e-999999999999999999999", "0"},
                                           SpellingCase{"1e2", "100"}, SpellingCase{"1E+002", "100"},
                                           SpellingCase{"-12.50", "-12.5"}, SpellingCase{"0.001", "0.001"},
                                           SpellingCase{"1e-3", "0.001"}));

INSTANTIATE_TEST_SUITE_P(PlainUpToTwentyPaddingZeros, CanonicalJSONNumberTest,
                         ::testing::Values(SpellingCase{"1e20", "100000000000000000000"}, SpellingCase{"1e21", "1e+21"},
                                           SpellingCase{"1e-20", "0.00000000000000000001"},
                                           SpellingCase{"1e-21", "0.000000000000000000001"},
                                           SpellingCase{"1e-22", "1e-22"}, SpellingCase{"-12.5e-30", "-1.25e-29"},
                                           SpellingCase{"123e30", "1.23e+32"},
                                           SpellingCase{"1234567890123456789012345678901234567890",
                                                        "1234567890123456789012345678901234567890"},
                                           SpellingCase{"0.1234567890123456789012345678901234567890",
                                                        "0.123456789012345678901234567890123456789"},
                                           SpellingCase{"12345678901234567890.5e-10", "1234567890.12345678905"}));

INSTANTIATE_TEST_SUITE_P(
    HugeExponentsStayShort, CanonicalJSONNumberTest,
    ::testing::Values(SpellingCase{"1e999999999", "1e+999999999"}, SpellingCase{"-25e-999999999", "-2.5e-999999998"},
                      SpellingCase{"1e123456789012345678901234567890", "1e+123456789012345678901234567890"},
                      SpellingCase{"12.5e123456789012345678901234567890", "1.25e+123456789012345678901234567891"},
                      SpellingCase{"0.0125e-100000000000000000000", "1.25e-100000000000000000002"},
                      SpellingCase{"1000e-99999999999999999999", "1e-99999999999999999996"},
                      SpellingCase{"999e99999999999999999999", "9.99e+100000000000000000001"}));

INSTANTIATE_TEST_SUITE_P(NotNumberTokens, CanonicalJSONNumberTest,
                         ::testing::Values(SpellingCase{"", ""}, SpellingCase{"01", "01"}, SpellingCase{"1.", "1."},
                                           SpellingCase{".5", ".5"}, SpellingCase{"1e", "1e"}, SpellingCase{"+1", "+1"},
                                           SpellingCase{"NaN", "NaN"}, SpellingCase{"1 ", "1 "}));

TEST(CanonicalJSONNumber, KeepsEveryDigitOfLongNumbers)
{
    EXPECT_NE(canonicalJSONNumber("12345678901234567890"), canonicalJSONNumber("12345678901234567891"));
    EXPECT_NE(canonicalJSONNumber("0.12345678901234567890"), canonicalJSONNumber("0.12345678901234567891"));
    EXPECT_EQ(canonicalJSONNumber("12345678901234567890"), "12345678901234567890");
}

struct CanonicalCase {
    std::string text;
    std::optional<std::string> expected;

    friend void PrintTo(const CanonicalCase& canonical, std::ostream* out) { *out << canonical.text; }
};

class CanonicalJSONTest : public ::testing::TestWithParam<CanonicalCase> {};

TEST_P(CanonicalJSONTest, WritesCompactSortedJSON)
{
    EXPECT_EQ(canonicalJSON(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Layout, CanonicalJSONTest,
                         ::testing::Values(CanonicalCase{R"({ "b" : 1 , "a" : 2 })", R"({"a":2,"b":1})"},
                                           CanonicalCase{"[1, 2]", "[1,2]"}, CanonicalCase{" \t\r\n[ ]\n", "[]"},
                                           CanonicalCase{R"({"z":{"y":[{"b":null,"a":true}],"x":false}})",
                                                         R"({"z":{"x":false,"y":[{"a":true,"b":null}]}})"},
                                           CanonicalCase{"[1.0, 1e2, -0]", "[1,100,0]"}, CanonicalCase{"{}", "{}"}));

INSTANTIATE_TEST_SUITE_P(AnyTopLevelValue, CanonicalJSONTest,
                         ::testing::Values(CanonicalCase{"1.50", "1.5"}, CanonicalCase{R"("x")", R"("x")"},
                                           CanonicalCase{"true", "true"}, CanonicalCase{" null ", "null"}));

INSTANTIATE_TEST_SUITE_P(
    StrictJSONOnly, CanonicalJSONTest,
    ::testing::Values(CanonicalCase{"", std::nullopt}, CanonicalCase{"{not json", std::nullopt},
                      CanonicalCase{"[1,]", std::nullopt}, CanonicalCase{R"({"a":1,})", std::nullopt},
                      CanonicalCase{"[NaN]", std::nullopt}, CanonicalCase{"[Infinity]", std::nullopt},
                      CanonicalCase{"[1] // note", std::nullopt}, CanonicalCase{"/* c */ [1]", std::nullopt},
                      CanonicalCase{"{'a':1}", std::nullopt}, CanonicalCase{"[1] [2]", std::nullopt},
                      CanonicalCase{"[01]", std::nullopt}, CanonicalCase{"[\"a\tb\"]", std::nullopt},
                      CanonicalCase{"[1]\0"s, std::nullopt}, CanonicalCase{"[\"\xC3\"]", std::nullopt},
                      CanonicalCase{"\u00A0[1]", std::nullopt},
                      // Beyond the range of a double the reader refuses the number.
                      CanonicalCase{"[1e400]", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Strings, CanonicalJSONTest,
    ::testing::Values(CanonicalCase{R"(["\u0041\/\"\\"])", R"(["A/\"\\"])"},
                      CanonicalCase{R"(["\b\f\n\r\t\u0001\u001F\u007f"])", "[\"\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\"]"},
                      CanonicalCase{R"(["\u00e9", "é"])", R"(["é","é"])"},
                      CanonicalCase{R"(["\ud83d\ude00"])", "[\"\U0001F600\"]"},
                      CanonicalCase{R"(["a\u0000b"])", R"(["a\u0000b"])"},
                      CanonicalCase{R"({"a\u0000":1,"a":2})", R"({"a":2,"a\u0000":1})"},
                      CanonicalCase{R"(["\ud800"])", std::nullopt}, CanonicalCase{R"(["\udc00"])", std::nullopt},
                      CanonicalCase{R"(["\ud800x"])", std::nullopt}, CanonicalCase{R"({"\udfff":1})", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(MemberOrder, CanonicalJSONTest,
                         ::testing::Values(
                             // Scalar order: upper case before lower case, ASCII before everything else, and
                             // supplementary characters after the rest of the BMP.
                             CanonicalCase{R"({"b":1,"B":2,"a":3,"A":4})", R"({"A":4,"B":2,"a":3,"b":1})"},
                             CanonicalCase{R"({"é":1,"z":2,"Z":3})", R"({"Z":3,"z":2,"é":1})"},
                             CanonicalCase{"{\"\U0001F600\":1,\"\uFFFD\":2,\"\u00E9\":3}",
                                           "{\"\u00E9\":3,\"\uFFFD\":2,\"\U0001F600\":1}"},
                             CanonicalCase{R"({"ab":1,"a":2,"":3})", R"({"":3,"a":2,"ab":1})"}));

INSTANTIATE_TEST_SUITE_P(DuplicateMemberNames, CanonicalJSONTest,
                         ::testing::Values(CanonicalCase{R"({"a":1,"a":2})", R"({"a":2})"},
                                           CanonicalCase{R"({"a":{"x":1},"b":0,"a":{"y":2}})",
                                                         R"({"a":{"y":2},"b":0})"},
                                           CanonicalCase{R"([{"k":1,"k":[1],"k":"last"}])", R"([{"k":"last"}])"}));

TEST(CanonicalJSON, LowerCasesNamesAndStringsBeforeSorting)
{
    EXPECT_EQ(canonicalJSON(R"({"B":"1","a":"2"})", true), canonicalJSON(R"({"b":"1","A":"2"})", true));
    EXPECT_EQ(canonicalJSON(R"({"B":"X","a":"Ÿ"})", true), R"({"a":"ÿ","b":"x"})");
    EXPECT_EQ(canonicalJSON(R"({"B":"1","a":"2"})", false), R"({"B":"1","a":"2"})");
}

TEST(CanonicalJSON, ComposesNamesAndStringsBeforeSorting)
{
    // Decomposed e + U+0301 sorts before "f", composed é after it; both must give one text.
    EXPECT_EQ(canonicalJSON(R"({"e\u0301":"e\u0301","f":2})"), canonicalJSON(R"({"f":2,"é":"é"})"));
    EXPECT_EQ(canonicalJSON(R"({"e\u0301":"e\u0301","f":2})"), R"({"f":2,"é":"é"})");
    EXPECT_EQ(canonicalJSON(R"(["\u212B"])"), "[\"\u00C5\"]");  // angstrom sign
    EXPECT_EQ(canonicalJSON(R"({"E\u0301":1})", true), R"({"é":1})");
}

TEST(JSONDocument, KeepsTextsAsWrittenUnlessAskedToCompose)
{
    JSONDocument document;
    ASSERT_TRUE(document.read(R"(["e\u0301"])"));
    EXPECT_EQ(document.text(document.node(1)), "e\u0301");
    ASSERT_TRUE(document.read(R"(["e\u0301"])", JSONDocument::TextForm::composed));
    EXPECT_EQ(document.text(document.node(1)), "é");
}

TEST(CanonicalJSON, LowerCasingKeepsNumbersAndLiterals)
{
    EXPECT_EQ(canonicalJSON("[1E5, true, null]", true), "[100000,true,null]");
    EXPECT_EQ(canonicalJSON("[1e21]", true), "[1e+21]");
}

TEST(CanonicalJSON, NamesThatMeetWhenLowerCasedKeepTheLastMember)
{
    EXPECT_EQ(canonicalJSON(R"({"A":1,"a":2})", true), R"({"a":2})");
    EXPECT_EQ(canonicalJSON(R"({"A":1,"a":2})", false), R"({"A":1,"a":2})");
}

TEST(CanonicalJSON, DistinguishesLongNumbers)
{
    EXPECT_NE(canonicalJSON(R"({"id":12345678901234567890})"), canonicalJSON(R"({"id":12345678901234567891})"));
    EXPECT_EQ(canonicalJSON(R"({"id":12345678901234567890})"), R"({"id":12345678901234567890})");
    EXPECT_EQ(canonicalJSON("[1.0]"), canonicalJSON("[1]"));
}

std::string repeated(std::string_view piece, std::size_t count)
{
    std::string text;
    text.reserve(piece.size() * count);
    for (std::size_t time = 0; time < count; ++time)
        text += piece;
    return text;
}

// Nesting changes nothing: texts that differ only in white space and member order meet at any
// depth, without exhausting the stack.
TEST(CanonicalJSON, ReadsAndWritesAnyNestingDepth)
{
    for (const std::size_t depth : {600, 100'000}) {
        const std::string arrays = nested(depth);
        EXPECT_EQ(canonicalJSON(repeated("[ ", depth) + "1" + repeated(" ]", depth)), arrays) << depth;
        EXPECT_EQ(canonicalJSON(arrays), arrays) << depth;

        const std::string objects = repeated(R"({"a":)", depth) + "null" + repeated(R"(,"b":1})", depth);
        EXPECT_EQ(canonicalJSON(repeated(R"({ "b" : 1, "a" : )", depth) + "null" + repeated(" }", depth)), objects)
            << depth;
        EXPECT_EQ(canonicalJSON(objects), objects) << depth;
    }
    EXPECT_EQ(canonicalJSON(std::string(100'000, '{')), std::nullopt);
    EXPECT_EQ(canonicalJSON(nested(100'000) + "]"), std::nullopt);
}

TEST(CanonicalJSON, BracketsInsideStringsDoNotCountAsNesting)
{
    const std::string text = "[\"" + std::string(10'000, '[') + "\\\"" + std::string(10'000, '{') + "\"]";
    ASSERT_TRUE(canonicalJSON(text).has_value());
    EXPECT_EQ(*canonicalJSON(text), text);
}

TEST(JSONDocument, IsEmptyAfterAFailedRead)
{
    JSONDocument document;
    ASSERT_TRUE(document.read("[1]"));
    EXPECT_FALSE(document.isEmpty());
    EXPECT_FALSE(document.read("[1"));
    EXPECT_TRUE(document.isEmpty());
}

TEST(JSONDocument, KeepsTheLastOfDuplicateMembersInNameOrder)
{
    JSONDocument document;
    ASSERT_TRUE(document.read(R"({"b":1,"a":2,"b":3})"));
    std::vector<std::size_t> members;
    document.appendSortedMembers(JSONDocument::root, members);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(document.name(document.node(members[0])), "a");
    EXPECT_EQ(document.name(document.node(members[1])), "b");
    EXPECT_EQ(document.text(document.node(members[1])), "3");
}

}  // namespace
}  // namespace rowlark::text
