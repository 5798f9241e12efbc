#include "analysis/ScoredSuggestions.h"

#include "analysis/DataCompatibility.h"
#include "analysis/SuggestionOrder.h"

#include <algorithm>

namespace rowlark::analysis::CSVComparator {
namespace {

constexpr double cutOff = 0.42;
constexpr double overlapThreshold = 0.72;
constexpr double shapeThreshold = 0.75;

// Applies the data half to the header score of one right column (nothing when it had none).
std::optional<HeaderScore> combinedScore(std::optional<HeaderScore> header, const DataCompatibility& data)
{
    const double headerScore = header ? header->score : 0;
    if (data.overlap >= overlapThreshold)
        return HeaderScore{std::max(headerScore, 0.91 + 0.09 * data.overlap), "Values overlap"};
    if (headerScore > 0) {
        if (data.shape >= shapeThreshold && headerScore < 0.9)
            header->reason += " + data type";
        header->score = std::min(1.0, 0.88 * headerScore + 0.12 * data.shape);
        return header;
    }
    if (data.shape >= shapeThreshold)
        return HeaderScore{0.72 * data.shape, "Matching data type"};
    return std::nullopt;
}

}  // namespace

RightColumns prepareRightColumns(const std::vector<std::string>& headers, std::vector<ColumnProfile> profiles)
{
    RightColumns right{headerTerms(headers), std::move(profiles), headerTextRanks(headers)};
    right.profiles.resize(std::max(right.profiles.size(), headers.size()));
    return right;
}

std::vector<HeaderMatch> headerMatches(const HeaderTerms& left, const RightColumns& right)
{
    std::vector<HeaderMatch> matches;
    matches.reserve(right.terms.size());
    for (const auto& rightTerms : right.terms)
        matches.push_back(matchHeaders(left, rightTerms));
    return matches;
}

std::vector<records::HeaderSuggestion> scoredSuggestions(const LeftColumn& left, const RightColumns& right,
                                                         const std::optional<std::string>& preferredPrefix)
{
    std::vector<records::HeaderSuggestion> suggestions;
    for (std::size_t j = 0; j < right.terms.size(); ++j) {
        const std::size_t shared = j < left.sharedValueCounts.size() ? left.sharedValueCounts[j] : 0;
        const DataCompatibility data = dataCompatibility(left.profile, right.profiles[j], shared);
        const auto header = j < left.headerMatches.size()
                                ? headerScore(left.headerMatches[j], left.terms, right.terms[j], preferredPrefix)
                                : std::nullopt;
        auto scored = combinedScore(header, data);
        if (scored && scored->score >= cutOff)
            suggestions.push_back({static_cast<std::int64_t>(j), scored->score, std::move(scored->reason)});
    }
    orderSuggestions(suggestions, right.headerRanks);
    return suggestions;
}

std::vector<records::HeaderSuggestion> scoredSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const ColumnProfile& leftProfile,
                                                         const std::vector<ColumnProfile>& rightProfiles,
                                                         const std::optional<std::string>& preferredPrefix)
{
    std::vector<ColumnProfile> profiles(
        rightProfiles.begin(),
        rightProfiles.begin() + static_cast<std::ptrdiff_t>(std::min(rightProfiles.size(), rightHeaders.size())));
    const RightColumns right = prepareRightColumns(rightHeaders, std::move(profiles));
    std::vector<std::uint32_t> shared;
    shared.reserve(rightHeaders.size());
    for (const auto& rightProfile : right.profiles)
        shared.push_back(static_cast<std::uint32_t>(sharedValueCount(leftProfile, rightProfile)));
    const HeaderTerms left = headerTerms(leftHeader);
    const std::vector<HeaderMatch> matches = headerMatches(left, right);
    return scoredSuggestions({left, leftProfile, matches, shared}, right, preferredPrefix);
}

}  // namespace rowlark::analysis::CSVComparator
