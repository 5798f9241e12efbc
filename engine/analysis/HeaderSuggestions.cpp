#include "engine/analysis/HeaderSuggestions.h"

#include "engine/analysis/SuggestionOrder.h"

#include <algorithm>

namespace rowlark::analysis {
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
        return {0.91, Reason::knownAlias};
    if (leftHasPrefix != rightHasPrefix)
        return {0.97, Reason::entityPrefixMatch};
    if (left.entityPrefix == right.entityPrefix)
        return {0.99, Reason::sameEntityField};
    return {0.34, Reason::differentEntity};
}

bool haveDifferentEntities(const HeaderShape& left, const HeaderShape& right)
{
    return left.entityId != 0 && right.entityId != 0 && left.entityId != right.entityId;
}

// The characters the longer of two headers that stand in a namespace relation has in front of
// the other.
std::string_view namespacePrefixText(const HeaderTerms& left, const HeaderTerms& right)
{
    const CharacterText& longer =
        left.normalized.length() > right.normalized.length() ? left.normalized : right.normalized;
    const std::size_t extra = std::max(left.normalized.length(), right.normalized.length()) -
                              std::min(left.normalized.length(), right.normalized.length());
    return longer.firstCharacters(extra);
}

// Compared from the end, where headers that are not in a namespace relation mostly differ already.
bool endsWith(std::span<const std::uint32_t> text, std::span<const std::uint32_t> suffix)
{
    if (suffix.size() > text.size())
        return false;
    const std::size_t offset = text.size() - suffix.size();
    for (std::size_t i = suffix.size(); i-- > 0;)
        if (text[offset + i] != suffix[i])
            return false;
    return true;
}

bool inNamespaceRelation(const HeaderShape& left, const HeaderShape& right)
{
    return left.normalized.size() < right.normalized.size()
               ? endsWith(right.normalized, left.normalized)
               : right.normalized.size() < left.normalized.size() && endsWith(left.normalized, right.normalized);
}

}  // namespace

HeaderMatcher::HeaderMatcher(const HeaderShape& left, std::vector<std::uint64_t>& headerSymbols,
                             std::vector<std::uint64_t>& fieldSymbols)
    : left_(left)
    , header_(left.normalized, headerSymbols)
{
    if (left.canonicalId != left.normalizedId)
        field_.emplace(left.canonicalField, fieldSymbols);
}

// The similar-name score when it reaches the cut-off, else 0.
double HeaderMatcher::similarNameScore(const HeaderShape& right) const
{
    // Headers of different entities cannot reach the cut-off (0.82 × 0.45 < 0.42), nor can texts
    // whose lengths alone keep them too far apart; both skip the edit distances.
    if (haveDifferentEntities(left_, right))
        return 0;
    const double ceiling = std::max(similarityCeiling(left_.normalized.size(), right.normalized.size()),
                                    similarityCeiling(left_.canonicalField.size(), right.canonicalField.size()));
    if (similarNameWeight * ceiling < cutOff)
        return 0;
    const double headerSimilarity =
        similarity(header_.distanceTo(right.normalized), left_.normalized.size(), right.normalized.size());
    const bool sameFieldTexts = left_.canonicalId == left_.normalizedId && right.canonicalId == right.normalizedId;
    const double fieldSimilarity = sameFieldTexts
                                       ? headerSimilarity
                                       : similarity((field_ ? *field_ : header_).distanceTo(right.canonicalField),
                                                    left_.canonicalField.size(), right.canonicalField.size());
    const double score = similarNameWeight * std::max(headerSimilarity, fieldSimilarity);
    return score >= cutOff ? score : 0;
}

HeaderMatch HeaderMatcher::match(const HeaderShape& right) const
{
    using Rule = HeaderMatch::Rule;
    if (left_.normalized.empty() || right.normalized.empty())
        return {};
    if (left_.normalizedId == right.normalizedId)
        return {Rule::exact, 0};
    if (left_.canonicalId == right.canonicalId)
        return {Rule::alias, 0};
    if (inNamespaceRelation(left_, right))
        return {Rule::namespacePrefix, 0};
    const double score = similarNameScore(right);
    return score > 0 ? HeaderMatch{Rule::similarName, score} : HeaderMatch{};
}

std::optional<HeaderScore> headerScore(const HeaderMatch& match, const HeaderTerms& left, const HeaderTerms& right,
                                       const std::optional<std::string>& preferredPrefix)
{
    switch (match.rule) {
    case HeaderMatch::Rule::none:
        return std::nullopt;
    case HeaderMatch::Rule::exact:
        return HeaderScore{1.0, Reason::exact};
    case HeaderMatch::Rule::alias: {
        HeaderScore alias = aliasScore(left, right);
        if (isPreferred(right.entityPrefix, preferredPrefix))
            alias = {std::min(alias.score + learnedPatternBonus, 1.0), Reason::learnedPattern};
        return alias.score >= cutOff ? std::optional(alias) : std::nullopt;
    }
    case HeaderMatch::Rule::namespacePrefix:
        if (isPreferred(namespacePrefixText(left, right), preferredPrefix))
            return HeaderScore{0.98, Reason::learnedPattern};
        return HeaderScore{0.9, Reason::namespacePattern};
    case HeaderMatch::Rule::similarName:
        return HeaderScore{match.similarNameScore, Reason::similarName};
    }
    return std::nullopt;
}

std::string reasonText(const Candidate& candidate, const HeaderTerms& left, const HeaderTerms& right)
{
    std::string text = [&]() -> std::string {
        switch (candidate.reason) {
        case Reason::exact:
            return "Exact";
        case Reason::knownAlias:
            return "Known alias";
        case Reason::entityPrefixMatch:
            return "Entity prefix match";
        case Reason::sameEntityField:
            return "Same " + std::string(left.entityPrefix) + " field";
        case Reason::differentEntity:
            return "Different entity";
        case Reason::learnedPattern:
            return "Learned pattern";
        case Reason::namespacePattern:
            return std::string(namespacePrefixText(left, right)) + "_ pattern";
        case Reason::similarName:
            return "Similar name";
        case Reason::valuesOverlap:
            return "Values overlap";
        case Reason::matchingDataType:
            return "Matching data type";
        }
        return {};
    }();
    return candidate.isWithDataType ? text + " + data type" : text;
}

std::vector<records::HeaderSuggestion> headerSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const std::optional<std::string>& preferredPrefix)
{
    const HeaderCatalog catalog({std::string(leftHeader)}, rightHeaders);
    const std::uint32_t left = catalog.leftShape(0);
    std::vector<std::uint64_t> headerSymbols(catalog.alphabetSize(), 0);
    std::vector<std::uint64_t> fieldSymbols(catalog.alphabetSize(), 0);
    const HeaderMatcher matcher(catalog.shape(left), headerSymbols, fieldSymbols);
    std::vector<Candidate> candidates;
    for (std::size_t j = 0; j < rightHeaders.size(); ++j) {
        const std::uint32_t right = catalog.rightShape(j);
        if (const auto scored = headerScore(matcher.match(catalog.shape(right)), catalog.terms(left),
                                            catalog.terms(right), preferredPrefix))
            candidates.push_back({std::min(scored->score, 1.0), static_cast<std::uint32_t>(j), scored->reason});
    }
    orderCandidates(candidates, headerTextRanks(rightHeaders));
    std::vector<records::HeaderSuggestion> suggestions;
    for (const Candidate& candidate : candidates)
        suggestions.push_back(
            {candidate.column, candidate.score,
             reasonText(candidate, catalog.terms(left), catalog.terms(catalog.rightShape(candidate.column)))});
    return suggestions;
}

}  // namespace rowlark::analysis
