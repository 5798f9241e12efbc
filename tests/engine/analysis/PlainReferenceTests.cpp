// The fast scoring (header shapes, symbol ids, bit-parallel distances, partial ordering) against
// plain implementations of the same rules on random headers and scores.

#include "engine/analysis/HeaderSuggestions.h"
#include "engine/analysis/HeaderTerms.h"
#include "engine/analysis/SuggestionOrder.h"
#include "engine/text/Unicode.h"
#include "tests/support/CaseLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace rowlark::analysis {
namespace {

using Characters = std::vector<std::string>;

Characters charactersOf(const CharacterText& text)
{
    Characters characters;
    for (std::size_t i = 0; i < text.length(); ++i)
        characters.emplace_back(text.character(i));
    return characters;
}

std::size_t plainDistance(const Characters& a, const Characters& b)
{
    std::vector<std::vector<std::size_t>> table(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        for (std::size_t j = 0; j <= b.size(); ++j)
            table[i][j] = i == 0 || j == 0 ? i + j
                                           : std::min({table[i - 1][j] + 1, table[i][j - 1] + 1,
                                                       table[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    return table[a.size()][b.size()];
}

double plainSimilarity(const CharacterText& a, const CharacterText& b)
{
    const std::size_t longer = std::max(a.length(), b.length());
    return longer == 0
               ? 1
               : 1 - static_cast<double>(plainDistance(charactersOf(a), charactersOf(b))) / static_cast<double>(longer);
}

bool plainEndsWith(const Characters& text, const Characters& suffix)
{
    return suffix.size() < text.size() && std::equal(suffix.rbegin(), suffix.rend(), text.rbegin());
}

std::optional<records::HeaderSuggestion> plainScore(const HeaderTerms& left, const HeaderTerms& right,
                                                    const std::optional<std::string>& preferred)
{
    const auto isPreferred = [&](std::string_view prefix) {
        return preferred && !prefix.empty() && text::canonicallyEqual(prefix, *preferred);
    };
    if (left.normalized.empty() || right.normalized.empty())
        return std::nullopt;
    if (left.normalized.text() == right.normalized.text())
        return records::HeaderSuggestion{0, 1.0, "Exact"};
    if (left.canonicalField.text() == right.canonicalField.text()) {
        records::HeaderSuggestion alias{0, 0.34, "Different entity"};
        if (left.entityPrefix.empty() && right.entityPrefix.empty())
            alias = {0, 0.91, "Known alias"};
        else if (left.entityPrefix.empty() != right.entityPrefix.empty())
            alias = {0, 0.97, "Entity prefix match"};
        else if (left.entityPrefix == right.entityPrefix)
            alias = {0, 0.99, "Same " + std::string(left.entityPrefix) + " field"};
        if (isPreferred(right.entityPrefix))
            alias = {0, std::min(alias.score + 0.02, 1.0), "Learned pattern"};
        return alias.score >= 0.42 ? std::optional(alias) : std::nullopt;
    }
    const Characters leftCharacters = charactersOf(left.normalized);
    const Characters rightCharacters = charactersOf(right.normalized);
    for (const auto& [longer, shorter] :
         {std::tie(leftCharacters, rightCharacters), std::tie(rightCharacters, leftCharacters)})
        if (plainEndsWith(longer, shorter)) {
            const std::string prefix = std::accumulate(
                longer.begin(), longer.end() - static_cast<std::ptrdiff_t>(shorter.size()), std::string());
            return isPreferred(prefix) ? records::HeaderSuggestion{0, 0.98, "Learned pattern"}
                                       : records::HeaderSuggestion{0, 0.9, prefix + "_ pattern"};
        }
    if (!left.entityPrefix.empty() && !right.entityPrefix.empty() && left.entityPrefix != right.entityPrefix)
        return std::nullopt;
    const double score = 0.82 * std::max(plainSimilarity(left.normalized, right.normalized),
                                         plainSimilarity(left.canonicalField, right.canonicalField));
    return score >= 0.42 ? std::optional(records::HeaderSuggestion{0, score, "Similar name"}) : std::nullopt;
}

// Sorted by score, then each run of scores within 0.0001 of the one before by composed header text.
template<typename Item, typename Score, typename Key> void plainOrder(std::vector<Item>& items, Score score, Key key)
{
    std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) { return score(a) > score(b); });
    std::size_t start = 0;
    for (std::size_t i = 1; i <= items.size(); ++i)
        if (i == items.size() || score(items[i - 1]) - score(items[i]) > 0.0001) {
            std::stable_sort(items.begin() + static_cast<std::ptrdiff_t>(start),
                             items.begin() + static_cast<std::ptrdiff_t>(i),
                             [&](const Item& a, const Item& b) { return key(a) < key(b); });
            start = i;
        }
}

std::vector<records::HeaderSuggestion> plainSuggestions(const std::string& leftHeader,
                                                        const std::vector<std::string>& rightHeaders,
                                                        const std::optional<std::string>& preferred)
{
    const HeaderTerms left = headerTerms(leftHeader);
    std::vector<records::HeaderSuggestion> suggestions;
    for (std::size_t j = 0; j < rightHeaders.size(); ++j)
        if (auto scored = plainScore(left, headerTerms(rightHeaders[j]), preferred)) {
            scored->rightIndex = static_cast<std::int64_t>(j);
            suggestions.push_back(*scored);
        }
    plainOrder(
        suggestions, [](const records::HeaderSuggestion& s) { return s.score; },
        [&](const records::HeaderSuggestion& s) {
            return std::tuple(text::nfc(rightHeaders[static_cast<std::size_t>(s.rightIndex)]), s.rightIndex);
        });
    return suggestions;
}

// Headers built from pieces that hit every rule, some longer than one word of the bit-parallel
// distance.
std::string randomHeader(std::mt19937& random)
{
    static const std::vector<std::string> pieces =
        rowlark::testing::caseLines(std::string(ROWLARK_CASE_FOLDER) + "/random-header-pieces.txt");
    std::string header;
    const std::size_t count = random() % 9 == 0 ? 20 + random() % 30 : random() % 4;
    for (std::size_t i = 0; i < count; ++i)
        header += pieces[random() % pieces.size()];
    return header;
}

TEST(PlainReference, HeaderSuggestionsAgreeOnRandomHeaders)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        const std::string left = randomHeader(random);
        std::vector<std::string> right(random() % 25);
        for (auto& header : right)
            header = random() % 4 == 0 ? left.substr(random() % (left.size() + 1)) : randomHeader(random);
        const std::optional<std::string> preferred =
            random() % 3 == 0 ? std::optional<std::string>(random() % 2 ? "guarantor" : "billing") : std::nullopt;
        ASSERT_EQ(headerSuggestions(left, right, preferred), plainSuggestions(left, right, preferred))
            << "round " << round << ": " << left;
    }
}

TEST(PlainReference, KeepingTheBestAgreesWithOrderingAll)
{
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        const std::size_t columns = 1 + random() % 300;
        std::vector<std::size_t> ranks(columns);
        for (auto& rank : ranks)
            rank = random() % 40;
        std::vector<Candidate> candidates;
        for (std::uint32_t column = 0; column < columns; ++column)
            if (random() % 4 != 0) {
                // Scores on a grid of 0.00004 chain into long runs; the odd jump breaks them.
                const double score =
                    0.5 + 0.00004 * static_cast<double>(random() % 200) + (random() % 50 == 0 ? 0.3 : 0);
                candidates.push_back({score, column, Reason::similarName, false, random() % 5 != 0});
            }
        std::vector<Candidate> all = candidates;
        plainOrder(
            all, [](const Candidate& c) { return c.score; },
            [&](const Candidate& c) { return std::tuple(ranks[c.column], c.column); });
        std::erase_if(all, [](const Candidate& c) { return !c.isOffered; });
        const std::size_t limit = 1 + random() % 60;
        all.resize(std::min(all.size(), limit));
        std::shuffle(candidates.begin(), candidates.end(), random);
        keepBest(candidates, ranks, limit);
        ASSERT_TRUE(std::ranges::equal(candidates, all, {}, &Candidate::column, &Candidate::column))
            << "round " << round;
    }
}

}  // namespace
}  // namespace rowlark::analysis
