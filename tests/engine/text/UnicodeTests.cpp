#include "engine/text/Unicode.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/engine/text/CaseFile.h"

namespace rowlark::text {
namespace {

using rowlark::testing::expectCases;
using rowlark::testing::yesOrNo;
using Inputs = std::vector<std::string>;

std::string orderName(std::strong_ordering order)
{
    return order == 0 ? "equal" : order < 0 ? "less" : "greater";
}

TEST(Unicode, TransformsTheTextsOfTheDataFiles)
{
    expectCases("trimmed.txt", [](const Inputs& text) { return std::string(trimmed(text[0])); });
    expectCases("lowercased.txt", [](const Inputs& text) { return lowercased(text[0]); });
    expectCases("normalizeHeader.txt", [](const Inputs& text) { return normalizeHeader(text[0]); });
    expectCases("nfc.txt", [](const Inputs& text) { return nfc(text[0]); });
    expectCases("compareCanonical.txt", [](const Inputs& texts) {
        const std::strong_ordering order = compareCanonical(texts[0], texts[1]);
        EXPECT_EQ(canonicallyEqual(texts[0], texts[1]), order == 0) << texts[0];
        return orderName(order);
    });
    expectCases("graphemeClusters.txt", [](const Inputs& text) {
        const auto clusters = graphemeClusters(text[0]);
        EXPECT_EQ(graphemeCount(text[0]), clusters.size()) << text[0];
        std::string joined;
        for (const auto cluster : clusters)
            joined += (joined.empty() ? "" : "|") + std::string(cluster);
        return joined;
    });
}

TEST(Unicode, ClassifiesTheScalarsOfTheDataFile)
{
    const std::map<std::string, bool (*)(char32_t)> properties{{"isGraphemeExtender", isGraphemeExtender},
                                                               {"isGraphemePrepend", isGraphemePrepend},
                                                               {"isLetterMarkOrNumber", isLetterMarkOrNumber},
                                                               {"hasNumericType", hasNumericType}};
    expectCases("scalarProperties.txt", [&](const Inputs& fields) {
        std::size_t position = 0;
        return yesOrNo(properties.at(fields[0])(nextScalar(fields[1], position)));
    });
}

TEST(CanonicalOrder, OrdersListsElementByElementWithPrefixesFirst)
{
    using List = std::vector<std::string>;
    EXPECT_EQ(compareCanonical(List{"a"}, List{"a", ""}), std::strong_ordering::less);
    EXPECT_EQ(compareCanonical(List{}, List{""}), std::strong_ordering::less);
    EXPECT_EQ(compareCanonical(List{"b"}, List{"a", "z"}), std::strong_ordering::greater);
    EXPECT_EQ(compareCanonical(List{"e\u0301", "x"}, List{"\u00E9", "x"}), std::strong_ordering::equal);
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
    EXPECT_EQ(nextScalar(std::string("\xFF") + "a", position), U'\uFFFD');
    EXPECT_EQ(position, 1u);
}

}  // namespace
}  // namespace rowlark::text
