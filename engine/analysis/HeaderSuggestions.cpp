#include "analysis/HeaderSuggestions.h"

#include "analysis/SuggestionOrder.h"

#include <algorithm>

namespace rowlark::analysis::CSVComparator {
namespace {

constexpr double cutOff = 0.42;
constexpr double learnedPatternBonus = 0.02;
constexpr double similarNameWeight = 0.82;
constexpr double differentEntityFactor = 0.45;
// Lets similarNameScore skip headers of different entities without computing their score.
static_assert(similarNameWeight * differentEntityFactor < cutOff);

bool isPreferred(std::string_view prefix, const std::optional<std::string>& preferredPrefix)
{
    return preferredPrefix && !prefix.empty() && text::canonicallyEqual(prefix, *preferredPrefix);
}

HeaderScore aliasScore(const HeaderTerms& left, const HeaderTerms& right)
{
    const bool leftHasPrefix = !left.entityPrefix.empty();
    const bool rightHasPrefix = !right.entityPrefix.empty();
    if (!leftHasPrefix && !rightHasPrefix)
        return {0.91, "Known alias"};
    if (leftHasPrefix != rightHasPrefix)
        return {0.97, "Entity prefix match"};
    if (left.entityPrefix == right.entityPrefix)
        return {0.99, "Same " + std::string(left.entityPrefix) + " field"};
    return {0.34, "Different entity"};
}

bool haveDifferentEntities(const HeaderTerms& left, const HeaderTerms& right)
{
    return !left.entityPrefix.empty() && !right.entityPrefix.empty() && left.entityPrefix != right.entityPrefix;
}

// The similar-name score when it reaches the cut-off, else 0.
double similarNameScore(const HeaderTerms& left, const HeaderTerms& right)
{
    // Headers of different entities cannot reach the cut-off (0.82 × 0.45 < 0.42), nor can texts
    // whose lengths alone keep them too far apart; both skip the edit distances.
    if (haveDifferentEntities(left, right))
        return 0;
    const double ceiling = std::max(similarityCeiling(left.normalized, right.normalized),
                                    similarityCeiling(left.canonicalField, right.canonicalField));
    if (similarNameWeight * ceiling < cutOff)
        return 0;
    const double headerSimilarity = similarity(left.normalized, right.normalized);
    const bool sameFieldTexts = left.canonicalField == left.normalized && right.canonicalField == right.normalized;
    const double fieldSimilarity =
        sameFieldTexts ? headerSimilarity : similarity(left.canonicalField, right.canonicalField);
    const double score = similarNameWeight * std::max(headerSimilarity, fieldSimilarity);
    return score >= cutOff ? score : 0;
}

}  // namespace

HeaderMatch matchHeaders(const HeaderTerms& left, const HeaderTerms& right)
{
    using Rule = HeaderMatch::Rule;
    if (left.normalized.empty() || right.normalized.empty())
        return {};
    if (left.normalized == right.normalized)
        return {Rule::exact, 0, {}};
    if (left.canonicalField == right.canonicalField)
        return {Rule::alias, 0, {}};
    if (auto relation = namespacePrefix(left.normalized, right.normalized))
        return {Rule::namespacePrefix, 0, relation->prefix.text()};
    const double score = similarNameScore(left, right);
    return score > 0 ? HeaderMatch{Rule::similarName, score, {}} : HeaderMatch{};
}

std::optional<HeaderScore> headerScore(const HeaderMatch& match, const HeaderTerms& left, const HeaderTerms& right,
                                       const std::optional<std::string>& preferredPrefix)
{
    switch (match.rule) {
    case HeaderMatch::Rule::none:
        return std::nullopt;
    case HeaderMatch::Rule::exact:
        return HeaderScore{1.0, "Exact"};
    case HeaderMatch::Rule::alias: {
        HeaderScore alias = aliasScore(left, right);
        if (isPreferred(right.entityPrefix, preferredPrefix))
            alias = {std::min(alias.score + learnedPatternBonus, 1.0), "Learned pattern"};
        return alias.score >= cutOff ? std::optional(alias) : std::nullopt;
    }
    case HeaderMatch::Rule::namespacePrefix:
        if (isPreferred(match.namespacePrefix, preferredPrefix))
            return HeaderScore{0.98, "Learned pattern"};
        return HeaderScore{0.9, match.namespacePrefix + "_ pattern"};
    case HeaderMatch::Rule::similarName:
        return HeaderScore{match.similarNameScore, "Similar name"};
    }
    return std::nullopt;
}

std::vector<records::HeaderSuggestion> headerSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const std::optional<std::string>& preferredPrefix)
{
    std::vector<records::HeaderSuggestion> suggestions;
    const HeaderTerms left = headerTerms(leftHeader);
    if (left.normalized.empty())
        return suggestions;
    for (std::size_t j = 0; j < rightHeaders.size(); ++j)
        if (const HeaderTerms right = headerTerms(rightHeaders[j]);
            auto scored = headerScore(matchHeaders(left, right), left, right, preferredPrefix))
            suggestions.push_back(
                {static_cast<std::int64_t>(j), std::min(scored->score, 1.0), std::move(scored->reason)});
    orderSuggestions(suggestions, rightHeaders);
    return suggestions;
}

}  // namespace rowlark::analysis::CSVComparator
