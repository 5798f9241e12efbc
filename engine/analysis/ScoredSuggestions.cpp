#include "engine/analysis/ScoredSuggestions.h"

#include "engine/analysis/DataCompatibility.h"
#include "engine/analysis/SuggestionOrder.h"

#include <algorithm>

namespace rowlark::analysis {
namespace {

constexpr double cutOff = 0.42;
constexpr double overlapThreshold = 0.72;
constexpr double shapeThreshold = 0.75;
// Headers thousands of characters long make even one row of header matches take a while.
constexpr std::size_t shapesBetweenCheckpoints = 256;

// Applies the data half to the header score of one right column (nothing when it had none).
std::optional<Candidate> combinedScore(const std::optional<HeaderScore>& header, const DataCompatibility& data)
{
    const double headerScore = header ? header->score : 0;
    if (data.overlap >= overlapThreshold)
        return Candidate{std::max(headerScore, 0.91 + 0.09 * data.overlap), 0, Reason::valuesOverlap};
    if (headerScore > 0)
        return Candidate{std::min(1.0, 0.88 * headerScore + 0.12 * data.shape), 0, header->reason,
                         data.shape >= shapeThreshold && headerScore < 0.9};
    if (data.shape >= shapeThreshold)
        return Candidate{0.72 * data.shape, 0, Reason::matchingDataType};
    return std::nullopt;
}

}  // namespace

ColumnScorer::ColumnScorer(const ScoringTables& tables)
    : tables_(tables)
    , headerSymbols_(tables.headers.alphabetSize(), 0)
    , fieldSymbols_(tables.headers.alphabetSize(), 0)
    , sharedValues_(tables.sharedValues)
{
}

void ColumnScorer::matchHeadersOf(std::uint32_t leftShape)
{
    if (matchedShape_ == leftShape)
        return;
    const HeaderCatalog& headers = tables_.headers;
    const HeaderMatcher matcher(headers.shape(leftShape), headerSymbols_, fieldSymbols_);
    matches_.clear();
    for (const std::uint32_t rightShape : headers.distinctRightShapes()) {
        if (matches_.size() % shapesBetweenCheckpoints == 0)
            tables_.checkpoint();
        matches_.push_back(matcher.match(headers.shape(rightShape)));
    }
    matchedShape_ = leftShape;
}

void ColumnScorer::collectCandidates(std::size_t leftColumn, const std::optional<std::string>& preferredPrefix)
{
    const HeaderCatalog& headers = tables_.headers;
    const HeaderTerms& left = headers.terms(headers.leftShape(leftColumn));
    const ColumnProfile& leftProfile = tables_.leftProfiles[leftColumn];
    const bool leftFlag = tables_.leftFlags[leftColumn];
    candidates_.clear();
    for (std::size_t j = 0; j < tables_.rightProfiles.size(); ++j) {
        const HeaderMatch& match = matches_[headers.rightShapeSlot(j)];
        const auto header = match.rule == HeaderMatch::Rule::none
                                ? std::nullopt
                                : headerScore(match, left, headers.terms(headers.rightShape(j)), preferredPrefix);
        const DataCompatibility data = dataCompatibility(leftProfile, tables_.rightProfiles[j], sharedValues_[j]);
        auto candidate = combinedScore(header, data);
        if (!candidate || candidate->score < cutOff)
            continue;
        candidate->column = static_cast<std::uint32_t>(j);
        candidate->isOffered = tables_.rightFlags[j] == leftFlag;
        candidates_.push_back(*candidate);
    }
}

std::vector<records::HeaderSuggestion>
ColumnScorer::suggestions(std::size_t leftColumn, const std::optional<std::string>& preferredPrefix, std::size_t limit)
{
    const HeaderCatalog& headers = tables_.headers;
    matchHeadersOf(headers.leftShape(leftColumn));
    sharedValues_.countFor(tables_.leftProfiles[leftColumn]);
    collectCandidates(leftColumn, preferredPrefix);
    keepBest(candidates_, tables_.rightHeaderRanks, limit);
    const HeaderTerms& left = headers.terms(headers.leftShape(leftColumn));
    std::vector<records::HeaderSuggestion> kept;
    kept.reserve(candidates_.size());
    for (const Candidate& candidate : candidates_)
        kept.push_back({candidate.column, candidate.score,
                        reasonText(candidate, left, headers.terms(headers.rightShape(candidate.column)))});
    return kept;
}

std::vector<records::HeaderSuggestion> scoredSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const ColumnProfile& leftProfile,
                                                         const std::vector<ColumnProfile>& rightProfiles,
                                                         const std::optional<std::string>& preferredPrefix)
{
    std::vector<ColumnProfile> right(
        rightProfiles.begin(),
        rightProfiles.begin() + static_cast<std::ptrdiff_t>(std::min(rightProfiles.size(), rightHeaders.size())));
    right.resize(rightHeaders.size());
    const HeaderCatalog headers({std::string(leftHeader)}, rightHeaders);
    const std::vector<ColumnProfile> left{leftProfile};
    const SharedValueIndex sharedValues(right);
    const std::vector<std::size_t> ranks = headerTextRanks(rightHeaders);
    const std::vector<bool> leftFlags(1, false);
    const std::vector<bool> rightFlags(rightHeaders.size(), false);
    const std::function<void()> noCheckpoint = [] {};
    ColumnScorer scorer({headers, left, right, sharedValues, ranks, leftFlags, rightFlags, noCheckpoint});
    return scorer.suggestions(0, preferredPrefix, ColumnScorer::unlimited);
}

}  // namespace rowlark::analysis
