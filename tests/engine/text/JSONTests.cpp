#include "engine/text/JSON.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text/JSONReader.h"
#include "tests/engine/text/CaseFile.h"

namespace rowlark::text {
namespace {

TEST(CanonicalJSON, WritesTheCasesOfTheDataFiles)
{
    using Inputs = std::vector<std::string>;
    rowlark::testing::expectCases("canonicalJSONNumber.txt",
                                  [](const Inputs& token) { return canonicalJSONNumber(token[0]); });
    rowlark::testing::expectCases("canonicalJSON.txt", [](const Inputs& fields) {
        return canonicalJSON(fields[0], fields[1] == "yes").value_or("refused");
    });
}

TEST(JSONDocument, KeepsTextsAsWrittenUnlessAskedToCompose)
{
    JSONDocument document;
    ASSERT_TRUE(document.read(R"(["e\u0301"])"));
    EXPECT_EQ(document.text(document.node(1)), "e\u0301");
    ASSERT_TRUE(document.read(R"(["e\u0301"])", JSONDocument::TextForm::composed));
    EXPECT_EQ(document.text(document.node(1)), "é");
}

std::string repeated(std::string_view piece, std::size_t count)
{
    std::string text;
    for (std::size_t time = 0; time < count; ++time)
        text += piece;
    return text;
}

// Nesting changes nothing: texts that differ only in white space and member order meet at any
// depth, without exhausting the stack.
TEST(CanonicalJSON, ReadsAndWritesAnyNestingDepth)
{
    for (const std::size_t depth : {600, 100'000}) {
        const std::string arrays = repeated("[", depth) + "1" + repeated("]", depth);
        EXPECT_EQ(canonicalJSON(repeated("[ ", depth) + "1" + repeated(" ]", depth)), arrays) << depth;
        EXPECT_EQ(canonicalJSON(arrays), arrays) << depth;

        const std::string objects = repeated(R"({"a":)", depth) + "null" + repeated(R"(,"b":1})", depth);
        EXPECT_EQ(canonicalJSON(repeated(R"({ "b" : 1, "a" : )", depth) + "null" + repeated(" }", depth)), objects)
            << depth;
        EXPECT_EQ(canonicalJSON(objects), objects) << depth;
    }
    EXPECT_EQ(canonicalJSON(std::string(100'000, '{')), std::nullopt);
    EXPECT_EQ(canonicalJSON(repeated("[", 100'000) + "1" + repeated("]", 100'001)), std::nullopt);
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

}  // namespace
}  // namespace rowlark::text
