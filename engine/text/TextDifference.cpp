#include "engine/text/TextDifference.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/text/Unicode.h"

namespace rowlark::text {
namespace {

using textDifferenceBounds::maximumMiddleBytes;
using textDifferenceBounds::maximumSearchSteps;

enum class Unit { character, word };

bool continuesAScalar(std::string_view text, std::size_t position)
{
    return position < text.size() && isContinuationByte(text[position]);
}

bool isWhiteSpaceAt(std::string_view text, std::size_t position)
{
    return isWhiteSpaceOrLineBreak(nextScalar(text, position));
}

// The bytes that can start white space: ASCII white space, and the lead bytes of the white space
// beyond it (U+0085, U+00A0, U+1680, U+2000 to U+205F, U+3000). Only scalars starting so are decoded.
constexpr std::array<bool, 256> whiteSpaceStarts = [] {
    std::array<bool, 256> starts{};
    for (const unsigned char byte : {' ', '\t', '\n', '\v', '\f', '\r'})
        starts[byte] = true;
    for (const unsigned char byte : {0xC2, 0xE1, 0xE2, 0xE3})
        starts[byte] = true;
    return starts;
}();

bool hasWhiteSpace(std::string_view text)
{
    for (std::size_t position = 0; position < text.size(); ++position)
        if (whiteSpaceStarts[static_cast<unsigned char>(text[position])] && isWhiteSpaceAt(text, position))
            return true;
    return false;
}

// The lengths of the common start and end of two texts, compared a block at a time: values run to
// megabytes.
constexpr std::size_t comparedBlock = 4096;

std::size_t commonStartLength(std::string_view a, std::string_view b)
{
    const std::size_t shorter = std::min(a.size(), b.size());
    std::size_t length = 0;
    while (length + comparedBlock <= shorter && std::memcmp(a.data() + length, b.data() + length, comparedBlock) == 0)
        length += comparedBlock;
    while (length < shorter && a[length] == b[length])
        ++length;
    return length;
}

std::size_t commonEndLength(std::string_view a, std::string_view b)
{
    const std::size_t shorter = std::min(a.size(), b.size());
    std::size_t length = 0;
    while (length + comparedBlock <= shorter &&
           std::memcmp(a.data() + a.size() - length - comparedBlock, b.data() + b.size() - length - comparedBlock,
                       comparedBlock) == 0)
        length += comparedBlock;
    while (length < shorter && a[a.size() - 1 - length] == b[b.size() - 1 - length])
        ++length;
    return length;
}

bool isWhiteSpaceCluster(std::string_view cluster)
{
    std::size_t position = 0;
    return !cluster.empty() && isWhiteSpaceOrLineBreak(nextScalar(cluster, position));
}

// One value, with its grapheme boundaries at hand.
struct Side {
    explicit Side(std::string_view value)
        : text(value)
        , clusters(value)
    {
    }

    std::string_view text;
    GraphemeCursor clusters;
};

// The values split into a common start, a differing middle and a common end, the middles starting and
// ending on token boundaries of their values.

// The common start, brought back to a position where both values have a token boundary and the tokens
// before it are the same. Boundaries before the last scalar both values share depend only on shared
// text; whether a word ends there also depends on what follows, so a word boundary is taken after
// white space.
std::optional<std::size_t> commonStart(Side& left, Side& right, Unit unit)
{
    std::size_t position = commonStartLength(left.text, right.text);
    while (position > 0 && (continuesAScalar(left.text, position) || continuesAScalar(right.text, position)))
        --position;
    while (!left.clusters.isBoundary(position) || !right.clusters.isBoundary(position))
        position = std::min(left.clusters.preceding(position), right.clusters.preceding(position));
    if (unit == Unit::character)
        return position;
    for (std::size_t walked = 0; position > 0;) {
        const std::size_t before = left.clusters.preceding(position);
        if (isWhiteSpaceCluster(left.text.substr(before, position - before)))
            break;
        walked += position - before;
        if (walked > maximumMiddleBytes)
            return std::nullopt;
        position = before;
    }
    return position;
}

// The common end of what follows the common start, brought forward to a position where both values
// have a token boundary; what follows two such boundaries is the same text, so it splits into the same
// tokens.
std::optional<std::size_t> commonEnd(Side& left, Side& right, std::size_t start, Unit unit)
{
    std::size_t length = commonEndLength(left.text.substr(start), right.text.substr(start));
    const auto leftAt = [&] { return left.text.size() - length; };
    const auto rightAt = [&] { return right.text.size() - length; };
    while (length > 0 && (continuesAScalar(left.text, leftAt()) || continuesAScalar(right.text, rightAt())))
        --length;
    while (length > 0 && (!left.clusters.isBoundary(leftAt()) || !right.clusters.isBoundary(rightAt())))
        length = std::min(left.text.size() - left.clusters.following(leftAt()),
                          right.text.size() - right.clusters.following(rightAt()));
    if (unit == Unit::character)
        return length;
    for (std::size_t walked = 0; length > 0;) {
        const std::size_t after = left.clusters.following(leftAt());
        if (isWhiteSpaceCluster(left.text.substr(leftAt(), after - leftAt())))
            break;
        walked += after - leftAt();
        if (walked > maximumMiddleBytes)
            return std::nullopt;
        length = left.text.size() - after;
    }
    return length;
}

// Where each token of `text` ends. Segmenting the text on its own gives the boundaries it has in its
// value because it starts and ends on boundaries of the value.
std::vector<std::size_t> tokenEnds(std::string_view text, Unit unit)
{
    const std::vector<std::size_t> boundaries = graphemeBoundaries(text);
    std::vector<std::size_t> ends;
    bool isInWord = false;
    for (std::size_t i = 1; i < boundaries.size(); ++i) {
        const bool isWhiteSpace =
            isWhiteSpaceCluster(text.substr(boundaries[i - 1], boundaries[i] - boundaries[i - 1]));
        if (unit == Unit::word && isInWord && !isWhiteSpace)
            ends.back() = boundaries[i];
        else
            ends.push_back(boundaries[i]);
        isInWord = !isWhiteSpace;
    }
    return ends;
}

// A middle split into tokens.
struct Tokens {
    std::string_view text;
    std::vector<std::size_t> ends;

    std::string_view operator[](std::size_t token) const
    {
        const std::size_t begin = token == 0 ? 0 : ends[token - 1];
        return text.substr(begin, ends[token] - begin);
    }
};

// Gives each distinct token one number, so that the search compares numbers.
class TokenNumbers {
public:
    explicit TokenNumbers(bool ignoreCase)
        : ignoreCase_(ignoreCase)
    {
    }

    std::vector<std::uint32_t> numbered(const Tokens& tokens)
    {
        std::vector<std::uint32_t> numbers;
        numbers.reserve(tokens.ends.size());
        for (std::size_t token = 0; token < tokens.ends.size(); ++token)
            numbers.push_back(number(tokens[token]));
        return numbers;
    }

private:
    std::uint32_t number(std::string_view token)
    {
        if (ignoreCase_)
            token = kept_.emplace_back(nfc(lowercased(token)));
        else if (!isNFC(token))
            token = kept_.emplace_back(nfc(token));
        return numbers_.try_emplace(token, static_cast<std::uint32_t>(numbers_.size())).first->second;
    }

    bool ignoreCase_;
    std::deque<std::string> kept_;
    std::unordered_map<std::string_view, std::uint32_t> numbers_;
};

struct Unmatched {
    std::vector<bool> left;
    std::vector<bool> right;
};

// The tokens outside a longest common subsequence of `a` and `b`, by Myers' greedy search for the
// fewest deletions and insertions; none when the search takes more than `maximumSearchSteps`.
// Round d finds, on each diagonal k in -d..d, the furthest point reachable with d edits; every round is
// kept (round r from index r², which bounds the memory by the steps) to walk the path back.
std::optional<Unmatched> unmatchedTokens(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
{
    const auto n = static_cast<std::int32_t>(a.size());
    const auto m = static_cast<std::int32_t>(b.size());
    const std::int32_t offset = n + m + 1;
    std::vector<std::int32_t> furthest(2 * static_cast<std::size_t>(offset) + 1, 0);
    std::vector<std::int32_t> rounds;
    const auto at = [&](std::int32_t round, std::int32_t k) {
        return rounds[static_cast<std::size_t>(std::int64_t{round} * round + k + round)];
    };
    const auto isDown = [](std::int32_t d, std::int32_t k, const auto& previous) {
        return k == -d || (k != d && previous(k - 1) < previous(k + 1));
    };
    std::size_t steps = 0;
    for (std::int32_t d = 0; d <= n + m; ++d) {
        for (std::int32_t k = -d; k <= d; k += 2) {
            const auto previous = [&](std::int32_t diagonal) { return furthest[offset + diagonal]; };
            std::int32_t x = isDown(d, k, previous) ? previous(k + 1) : previous(k - 1) + 1;
            std::int32_t y = x - k;
            for (; x < n && y < m && a[x] == b[y]; ++x, ++y)
                ++steps;
            furthest[offset + k] = x;
            if (x < n || y < m)
                continue;
            Unmatched unmatched{std::vector<bool>(a.size()), std::vector<bool>(b.size())};
            for (std::int32_t round = d; round > 0; --round) {
                const std::int32_t diagonal = x - y;
                const auto before = [&](std::int32_t other) { return at(round - 1, other); };
                const bool isInsertion = isDown(round, diagonal, before);
                const std::int32_t from = isInsertion ? diagonal + 1 : diagonal - 1;
                x = before(from);
                y = x - from;
                if (isInsertion)
                    unmatched.right[y] = true;
                else
                    unmatched.left[x] = true;
            }
            return unmatched;
        }
        steps += 2 * static_cast<std::size_t>(d) + 1;
        if (steps > maximumSearchSteps)
            return std::nullopt;
        rounds.insert(rounds.end(), furthest.begin() + offset - d, furthest.begin() + offset + d + 1);
    }
    return std::nullopt;
}

// White space alone between two edits is marked with them on both sides, so that "Monday, signed for"
// against "Tuesday, left" reads as one edit rather than as words apart. Both sides give up the same
// matched tokens: what stays unmarked is still the same on both.
void joinEditsAcrossWhiteSpace(Unmatched& unmatched, const Tokens& left, const Tokens& right)
{
    const std::size_t n = left.ends.size();
    const std::size_t m = right.ends.size();
    for (std::size_t i = 0, j = 0; i < n || j < m;) {
        if (i < n && unmatched.left[i]) {
            ++i;
        } else if (j < m && unmatched.right[j]) {
            ++j;
        } else {
            const std::size_t runLeft = i;
            const std::size_t runRight = j;
            bool isWhiteSpace = true;
            for (; i < n && j < m && !unmatched.left[i] && !unmatched.right[j]; ++i, ++j)
                isWhiteSpace = isWhiteSpace && isWhiteSpaceCluster(left[i]);
            if (i == runLeft)
                break;
            if (!isWhiteSpace || (runLeft == 0 && runRight == 0) || (i == n && j == m))
                continue;
            std::fill(unmatched.left.begin() + runLeft, unmatched.left.begin() + i, true);
            std::fill(unmatched.right.begin() + runRight, unmatched.right.begin() + j, true);
        }
    }
}

void appendSpan(std::vector<TextSpan>& spans, TextSpan span)
{
    if (span.begin == span.end)
        return;
    if (!spans.empty() && spans.back().end == span.begin)
        spans.back().end = span.end;
    else
        spans.push_back(span);
}

// The spans of the unmatched tokens of a middle that starts at `start`.
std::vector<TextSpan> unmatchedSpans(std::size_t start, const Tokens& tokens, const std::vector<bool>& unmatched)
{
    std::vector<TextSpan> spans;
    std::size_t begin = 0;
    for (std::size_t token = 0; token < tokens.ends.size(); ++token) {
        if (unmatched[token])
            appendSpan(spans, {start + begin, start + tokens.ends[token]});
        begin = tokens.ends[token];
    }
    return spans;
}

TextDifference wholeParts(TextSpan left, TextSpan right)
{
    TextDifference difference;
    appendSpan(difference.left, left);
    appendSpan(difference.right, right);
    return difference;
}

}  // namespace

TextDifference textDifference(std::string_view left, std::string_view right, bool ignoreCase)
{
    if (left == right)
        return {};
    const Unit unit = hasWhiteSpace(left) || hasWhiteSpace(right) ? Unit::word : Unit::character;
    Side leftSide(left);
    Side rightSide(right);
    const TextDifference whole = wholeParts({0, left.size()}, {0, right.size()});
    const std::optional<std::size_t> start = commonStart(leftSide, rightSide, unit);
    if (!start)
        return whole;
    const std::optional<std::size_t> end = commonEnd(leftSide, rightSide, *start, unit);
    if (!end)
        return whole;
    const std::string_view leftMiddle = left.substr(*start, left.size() - *end - *start);
    const std::string_view rightMiddle = right.substr(*start, right.size() - *end - *start);
    const TextDifference middles =
        wholeParts({*start, *start + leftMiddle.size()}, {*start, *start + rightMiddle.size()});
    if (leftMiddle.empty() || rightMiddle.empty() || leftMiddle.size() > maximumMiddleBytes ||
        rightMiddle.size() > maximumMiddleBytes)
        return middles;
    const Tokens leftTokens{leftMiddle, tokenEnds(leftMiddle, unit)};
    const Tokens rightTokens{rightMiddle, tokenEnds(rightMiddle, unit)};
    TokenNumbers numbers(ignoreCase);
    std::optional<Unmatched> unmatched = unmatchedTokens(numbers.numbered(leftTokens), numbers.numbered(rightTokens));
    if (!unmatched)
        return middles;
    joinEditsAcrossWhiteSpace(*unmatched, leftTokens, rightTokens);
    return {unmatchedSpans(*start, leftTokens, unmatched->left), unmatchedSpans(*start, rightTokens, unmatched->right)};
}

}  // namespace rowlark::text
