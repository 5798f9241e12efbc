#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace rowlark::text {
namespace {

struct TextCase {
    std::string input;
    std::string expected;
};

class TrimmedTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TrimmedTest, RemovesWhiteSpaceAndLineBreaksAtBothEnds)
{
    EXPECT_EQ(trimmed(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, TrimmedTest,
                         ::testing::Values(TextCase{"", ""}, TextCase{"  \t\r\n ", ""}, TextCase{" a b ", "a b"},
                                           TextCase{"\u00A0x\u3000", "x"},        // no-break and ideographic
                                           TextCase{"\u2028x\u2029\u0085", "x"},  // line and paragraph breaks
                                           TextCase{"\u200Bx", "\u200Bx"},        // zero width space is no space
                                           TextCase{" \u0301x", "\u0301x"},       // scalars, not clusters
                                           TextCase{"\xE9 ", "\xE9"}));           // invalid bytes survive

class LowercasedTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(LowercasedTest, UsesTheFullMappingWithoutLanguageRules)
{
    EXPECT_EQ(lowercased(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, LowercasedTest,
                         ::testing::Values(TextCase{"ABC xyz 09", "abc xyz 09"}, TextCase{"ÉCOLE", "école"},
                                           TextCase{"İ", "i\u0307"},  // full mapping, not the Turkish one
                                           TextCase{"ΟΔΟΣ", "οδος"},  // final sigma
                                           TextCase{"ẞ", "ß"}, TextCase{"ǅ", "ǆ"}, TextCase{"Ⅻ", "ⅻ"}));

TEST(CanonicalEquivalence, ComposedAndDecomposedFormsAreEqual)
{
    EXPECT_TRUE(canonicallyEqual("caf\u00E9", "cafe\u0301"));
    EXPECT_TRUE(canonicallyEqual("\u212B", "\u00C5"));  // angstrom sign and A with ring
    EXPECT_FALSE(canonicallyEqual("cafe", "caf\u00E9"));
    EXPECT_FALSE(canonicallyEqual("ﬁ", "fi"));  // compatibility is not canonical equivalence
    EXPECT_EQ(nfc("cafe\u0301"), "caf\u00E9");
}

TEST(CanonicalOrder, OrdersByScalarValuesOfTheComposedForm)
{
    EXPECT_EQ(compareCanonical("cafe\u0301", "caf\u00E9"), std::strong_ordering::equal);
    // Composed é (U+00E9) sorts after every ASCII letter, decomposed or not.
    EXPECT_EQ(compareCanonical("cafe\u0301", "cafz"), std::strong_ordering::greater);
    EXPECT_EQ(compareCanonical("Zebra", "apple"), std::strong_ordering::less);
    EXPECT_EQ(compareCanonical("a", "ab"), std::strong_ordering::less);
    EXPECT_EQ(compareCanonical("\U0001F600", "\uFFFD"), std::strong_ordering::greater);  // not UTF-16 order
}

TEST(CanonicalOrder, OrdersListsElementByElementWithPrefixesFirst)
{
    using List = std::vector<std::string>;
    EXPECT_EQ(compareCanonical(List{"a"}, List{"a", ""}), std::strong_ordering::less);
    EXPECT_EQ(compareCanonical(List{}, List{""}), std::strong_ordering::less);
    EXPECT_EQ(compareCanonical(List{"b"}, List{"a", "z"}), std::strong_ordering::greater);
    EXPECT_EQ(compareCanonical(List{"e\u0301", "x"}, List{"\u00E9", "x"}), std::strong_ordering::equal);
}

struct ClusterCase {
    std::string text;
    std::vector<std::string_view> clusters;
};

class GraphemeTest : public ::testing::TestWithParam<ClusterCase> {};

TEST_P(GraphemeTest, SplitsIntoExtendedGraphemeClusters)
{
    EXPECT_EQ(graphemeClusters(GetParam().text), GetParam().clusters);
    EXPECT_EQ(graphemeCount(GetParam().text), GetParam().clusters.size());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GraphemeTest,
    ::testing::Values(ClusterCase{"", {}}, ClusterCase{"ab", {"a", "b"}}, ClusterCase{"a\r\nb", {"a", "\r\n", "b"}},
                      ClusterCase{"\n\r", {"\n", "\r"}}, ClusterCase{",\u0301x", {",\u0301", "x"}},
                      ClusterCase{"\u0600,", {"\u0600,"}},  // prepend
                      ClusterCase{"\U0001F1E9\U0001F1EA\U0001F1EB", {"\U0001F1E9\U0001F1EA", "\U0001F1EB"}},
                      ClusterCase{"\U0001F469\u200D\U0001F4BBx", {"\U0001F469\u200D\U0001F4BB", "x"}},
                      ClusterCase{"\u1100\u1161\u11A8", {"\u1100\u1161\u11A8"}},  // Hangul syllable
                      ClusterCase{"\n\u0301", {"\n", "\u0301"}}));                // controls never join

TEST(GraphemeProperties, IdentifyScalarsThatJoinTheirNeighbours)
{
    EXPECT_TRUE(isGraphemeExtender(0x0301));  // combining acute
    EXPECT_TRUE(isGraphemeExtender(0x200D));  // zero width joiner
    EXPECT_TRUE(isGraphemeExtender(0x0903));  // spacing mark
    EXPECT_FALSE(isGraphemeExtender(U','));
    EXPECT_TRUE(isGraphemePrepend(0x0600));
    EXPECT_FALSE(isGraphemePrepend(U'"'));
}

TEST(ScalarProperties, ClassifyGeneralCategoriesAndNumericTypes)
{
    EXPECT_TRUE(isLetterMarkOrNumber(U'ß'));
    EXPECT_TRUE(isLetterMarkOrNumber(0x0301));  // mark
    EXPECT_TRUE(isLetterMarkOrNumber(U'½'));    // number, other
    EXPECT_TRUE(isLetterMarkOrNumber(U'٣'));
    EXPECT_FALSE(isLetterMarkOrNumber(U'_'));
    EXPECT_FALSE(isLetterMarkOrNumber(U'€'));
    EXPECT_TRUE(hasNumericType(U'7'));
    EXPECT_TRUE(hasNumericType(U'½'));
    EXPECT_TRUE(hasNumericType(U'万'));  // numeric value without being a digit
    EXPECT_FALSE(hasNumericType(U'x'));
}

TEST(Scalars, DecodeAndEncodeRoundTrip)
{
    const std::string text = "a\u00E9\u4E2D\U0001F600";
    std::string rebuilt;
    for (std::size_t position = 0; position < text.size();)
        appendScalar(rebuilt, nextScalar(text, position));
    EXPECT_EQ(rebuilt, text);
    std::size_t end = text.size();
    EXPECT_EQ(previousScalar(text, end), U'\U0001F600');
    EXPECT_EQ(end, text.size() - 4);
    std::size_t position = 0;
    EXPECT_EQ(nextScalar("\xFF"
                         "a",
                         position),
              U'\uFFFD');
    EXPECT_EQ(position, 1u);
}

class NormalizeHeaderTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(NormalizeHeaderTest, KeepsLowerCasedLettersMarksAndNumbers)
{
    EXPECT_EQ(normalizeHeader(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Headers, NormalizeHeaderTest,
                         ::testing::Values(TextCase{"First_Name", "firstname"}, TextCase{"first name", "firstname"},
                                           TextCase{"FIRST-NAME", "firstname"}, TextCase{"#", ""},
                                           TextCase{" Zip Code (5) ", "zipcode5"}, TextCase{"Straße-Nr.", "straßenr"},
                                           TextCase{"İD", "i\u0307d"}, TextCase{"Prix €", "prix"},
                                           TextCase{"名前", "名前"}));

}  // namespace
}  // namespace rowlark::text
