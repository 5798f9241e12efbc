#include "engine/text/TextDifference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/text/Unicode.h"
#include "tests/engine/text/CaseFile.h"
#include "tests/support/CaseLines.h"

namespace rowlark::text {
namespace {

using rowlark::testing::expectCases;
using Inputs = std::vector<std::string>;

// The text with each span in brackets, or with the spans left out.
std::string marked(std::string_view text, const std::vector<TextSpan>& spans, bool isKept = true)
{
    std::string result;
    std::size_t at = 0;
    for (const TextSpan& span : spans) {
        result.append(text.substr(at, span.begin - at));
        if (isKept)
            result.append("[").append(text.substr(span.begin, span.end - span.begin)).append("]");
        at = span.end;
    }
    return result.append(text.substr(at));
}

bool hasWhiteSpace(std::string_view text)
{
    for (std::size_t position = 0; position < text.size();)
        if (isWhiteSpaceOrLineBreak(nextScalar(text, position)))
            return true;
    return false;
}

bool isWhiteSpaceCluster(std::string_view text, std::size_t begin, std::size_t end)
{
    return begin < end && isWhiteSpaceOrLineBreak(nextScalar(text, begin));
}

// Every span is a run of whole tokens: its ends are cluster boundaries and, between words, at white
// space. Spans are in order, apart and inside the text.
void expectWholeTokens(std::string_view text, const std::vector<TextSpan>& spans, bool byWords)
{
    const std::vector<std::size_t> boundaries = graphemeBoundaries(text);
    const auto isTokenBoundary = [&](std::size_t position) {
        const auto index = std::ranges::lower_bound(boundaries, position) - boundaries.begin();
        if (index == static_cast<std::ptrdiff_t>(boundaries.size()) || boundaries[index] != position)
            return false;
        if (!byWords || position == 0 || position == text.size())
            return true;
        return isWhiteSpaceCluster(text, boundaries[index - 1], position) ||
               isWhiteSpaceCluster(text, position, boundaries[index + 1]);
    };
    std::size_t previousEnd = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        EXPECT_LT(spans[i].begin, spans[i].end) << text;
        EXPECT_TRUE(i == 0 || spans[i].begin > previousEnd) << text;
        EXPECT_LE(spans[i].end, text.size()) << text;
        EXPECT_TRUE(isTokenBoundary(spans[i].begin)) << text << " at " << spans[i].begin;
        EXPECT_TRUE(isTokenBoundary(spans[i].end)) << text << " at " << spans[i].end;
        previousEnd = spans[i].end;
    }
}

TEST(TextDifference, MarksTheDifferingPartsOfTheCasesOfTheDataFile)
{
    expectCases("textDifference.txt", [](const Inputs& fields) {
        const TextDifference difference = textDifference(fields[0], fields[1], fields.size() > 2);
        return marked(fields[0], difference.left) + " | " + marked(fields[1], difference.right);
    });
}

// Random values built from pieces that test the rules, edited at random.
TEST(TextDifference, UnmarkedPartsAreTheSameTextAndMarksHoldWholeTokens)
{
    const std::vector<std::string> pieces =
        rowlark::testing::caseLines(std::string(ROWLARK_CASE_FOLDER) + "/random-difference-pieces.txt");
    std::mt19937 random(17);
    const auto value = [&](std::size_t length, bool withSpaces) {
        std::string text;
        while (length-- > 0) {
            const std::string_view piece = pieces[random() % pieces.size()];
            if (withSpaces || !hasWhiteSpace(piece))
                text += piece;
        }
        return text;
    };
    for (int round = 0; round < 600; ++round) {
        const bool withSpaces = round % 2 == 0;
        const std::string left = value(random() % 24, withSpaces);
        std::string right = left;
        for (int edit = static_cast<int>(random() % 4); edit >= 0; --edit) {
            const std::size_t at = right.empty() ? 0 : random() % right.size();
            right.insert(at, value(1 + random() % 3, withSpaces));
        }
        if (random() % 3 == 0)
            right = value(random() % 24, withSpaces);
        const TextDifference difference = textDifference(left, right);
        const bool byWords = hasWhiteSpace(left) || hasWhiteSpace(right);
        SCOPED_TRACE(marked(left, difference.left) + " | " + marked(right, difference.right));
        expectWholeTokens(left, difference.left, byWords);
        expectWholeTokens(right, difference.right, byWords);
        EXPECT_EQ(nfc(marked(left, difference.left, false)), nfc(marked(right, difference.right, false)));
    }
}

// A megabyte on each side: the common start and end are set aside, so an edit in the middle is marked
// as precisely as in a short value; a middle beyond the bounds is marked whole.
TEST(TextDifference, MarksEditsInMegabyteValues)
{
    const auto repeated = [](std::string_view piece) {
        std::string text;
        while (text.size() < 1'000'000)
            text += piece;
        return text;
    };
    const std::string words = repeated("lorem ipsum dolor ");
    const std::string flags = repeated("\U0001F1E9\U0001F1EA\u00E9");
    const std::string letters(1'000'000, 'q');
    const std::size_t half = 500'004;
    const std::string noise = [] {
        std::mt19937 random(3);
        std::string text(1'000'000, ' ');
        for (char& byte : text)
            byte = static_cast<char>('a' + random() % 3);
        return text;
    }();
    const std::vector<std::tuple<const char*, std::string, std::string, std::string>> cases{
        {"same words", words, words, " | "},
        {"one word", words, std::string(words).replace(words.find("dolor", half), 5, "dolar"), "[dolor] | [dolar]"},
        {"one letter", letters, std::string(letters).replace(half, 1, "x"), "[q] | [x]"},
        {"one flag", flags, std::string(flags).replace(flags.find("\U0001F1E9", half), 4, "\U0001F1EB"),
         "[\U0001F1E9\U0001F1EA] | [\U0001F1EB\U0001F1EA]"},
        {"added at the end", letters, letters + "x", " | [x]"},
    };
    const auto parts = [](std::string_view text, const std::vector<TextSpan>& spans) {
        std::string joined;
        for (const TextSpan& span : spans)
            joined.append("[").append(text.substr(span.begin, span.end - span.begin)).append("]");
        return joined;
    };
    for (const auto& [name, left, right, expected] : cases) {
        const TextDifference difference = textDifference(left, right);
        EXPECT_EQ(parts(left, difference.left) + " | " + parts(right, difference.right), expected) << name;
    }

    const std::string otherNoise = "z" + noise.substr(1, noise.size() - 2) + "z";
    const TextDifference different = textDifference(noise, otherNoise);
    EXPECT_EQ(different.left, (std::vector<TextSpan>{{0, noise.size()}}));
    EXPECT_EQ(different.right, (std::vector<TextSpan>{{0, otherNoise.size()}}));
}

}  // namespace
}  // namespace rowlark::text
