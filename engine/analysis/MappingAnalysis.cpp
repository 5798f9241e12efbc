#include "engine/analysis/MappingAnalysis.h"

#include "engine/analysis/RuleProposal.h"

#include "engine/analysis/HeaderCatalog.h"
#include "engine/analysis/HeaderSuggestions.h"
#include "engine/analysis/ScoredSuggestions.h"
#include "engine/analysis/SharedValues.h"
#include "engine/analysis/SuggestionOrder.h"
#include "engine/table/Parallel.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <string>

namespace rowlark::analysis {
namespace {

constexpr double assignmentFloor = 0.86;
constexpr double marginWithoutPrefix = 0.035;
constexpr double marginWithPrefix = 0.015;
// How far one tied candidate's header must lead every other's to settle the tie.
constexpr double headerLead = 0.1;
// Scores are sums of products of tenths; this absorbs their binary rounding, nothing more.
constexpr double scoreRounding = 1e-9;
// Nobody reads past the first screenful of candidates; thousands per column would cost gigabytes.
constexpr std::size_t suggestionLimit = 200;
// Left columns a worker scores in a row: enough to reuse its scratch and header matches, few
// enough that a table of a few heavy columns (headers of thousands of letters) still spreads.
constexpr std::size_t mostColumnsPerBlock = 64;
constexpr std::size_t fewestBlocks = 16;

constexpr std::array<std::string_view, 5> keyFieldNames{"id", "mrn", "patientid", "recordid", "accountnumber"};

using Suggestions = std::vector<std::vector<records::HeaderSuggestion>>;

std::vector<ColumnProfile> profiles(const table::Table& table, const std::function<void()>& checkpoint)
{
    std::vector<ColumnProfile> result(table.columnCount());
    table::runInParallel(result.size(), 0, [&](std::size_t column) {
        checkpoint();
        result[column] = profile(table, static_cast<std::int64_t>(column));
    });
    return result;
}

// For each column, how many columns before it in its file share its normalized header.
std::vector<std::size_t> headerOccurrences(std::size_t columns,
                                           const std::function<std::uint32_t(std::size_t)>& shapeOf)
{
    std::map<std::uint32_t, std::size_t> seen;
    std::vector<std::size_t> occurrences(columns);
    for (std::size_t column = 0; column < columns; ++column)
        occurrences[column] = seen[shapeOf(column)]++;
    return occurrences;
}

std::vector<bool> structuredFlags(const table::Table& table)
{
    std::vector<bool> flags(table.columnCount(), false);
    for (const std::size_t column : table.structuredColumnIndices())
        flags[column] = true;
    return flags;
}

// The left columns with equal header shapes side by side, so that a scorer taking a stretch of
// them matches each shape's header once.
std::vector<std::size_t> columnsByShape(const HeaderCatalog& headers, std::size_t leftColumns)
{
    std::vector<std::size_t> order(leftColumns);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return headers.leftShape(a) < headers.leftShape(b); });
    return order;
}

std::vector<records::ColumnMapping> freshMappings(std::size_t leftColumns)
{
    std::vector<records::ColumnMapping> mappings(leftColumns);
    for (std::size_t i = 0; i < leftColumns; ++i) {
        mappings[i].id = records::UUID::random();
        mappings[i].leftIndex = static_cast<std::int64_t>(i);
        mappings[i].isIncluded = true;
    }
    return mappings;
}

// Everything the two scoring passes share: only the preferred prefix differs between them.
struct Analysis {
    const std::function<void()>& checkpoint;
    HeaderCatalog headers;
    std::vector<ColumnProfile> leftProfiles;
    std::vector<ColumnProfile> rightProfiles;
    SharedValueIndex sharedValues;
    std::vector<std::size_t> rightHeaderRanks;
    std::vector<bool> leftStructured;
    std::vector<bool> rightStructured;
    std::vector<std::size_t> leftColumnOrder;
    std::vector<std::size_t> leftOccurrences;
    std::vector<std::size_t> rightOccurrences;

    Analysis(const table::Table& left, const table::Table& right, const std::function<void()>& checkpoint)
        : checkpoint(checkpoint)
        , headers(left.headers(), right.headers(), checkpoint)
        , leftProfiles(profiles(left, checkpoint))
        , rightProfiles(profiles(right, checkpoint))
        , sharedValues(rightProfiles, checkpoint)
        , rightHeaderRanks(headerTextRanks(right.headers()))
        , leftStructured(structuredFlags(left))
        , rightStructured(structuredFlags(right))
        , leftColumnOrder(columnsByShape(headers, left.columnCount()))
        , leftOccurrences(headerOccurrences(left.columnCount(), [&](std::size_t c) { return headers.leftShape(c); }))
        , rightOccurrences(headerOccurrences(right.columnCount(), [&](std::size_t c) { return headers.rightShape(c); }))
    {
    }

    // The score of the header suggestion for the pair, or 0 when the headers make none.
    double headerScore(std::size_t leftColumn, std::size_t rightColumn,
                       const std::optional<std::string>& preferredPrefix) const
    {
        std::vector<std::uint64_t> headerSymbols(headers.alphabetSize(), 0);
        std::vector<std::uint64_t> fieldSymbols(headers.alphabetSize(), 0);
        const std::uint32_t leftShape = headers.leftShape(leftColumn);
        const std::uint32_t rightShape = headers.rightShape(rightColumn);
        const HeaderMatcher matcher(headers.shape(leftShape), headerSymbols, fieldSymbols);
        const auto scored = analysis::headerScore(matcher.match(headers.shape(rightShape)), headers.terms(leftShape),
                                                  headers.terms(rightShape), preferredPrefix);
        return scored ? std::min(scored->score, 1.0) : 0;
    }

    // Both columns carry the same normalized header as the same occurrence in their own file.
    bool isNamesake(std::size_t leftColumn, std::size_t rightColumn) const
    {
        return headers.leftShape(leftColumn) == headers.rightShape(rightColumn) &&
               leftOccurrences[leftColumn] == rightOccurrences[rightColumn];
    }

    const HeaderTerms& leftTerms(std::int64_t column) const
    {
        return headers.terms(headers.leftShape(static_cast<std::size_t>(column)));
    }

    const HeaderTerms& rightTerms(std::int64_t column) const
    {
        return headers.terms(headers.rightShape(static_cast<std::size_t>(column)));
    }

    ScoringTables tables() const
    {
        return {headers,          leftProfiles,   rightProfiles,   sharedValues,
                rightHeaderRanks, leftStructured, rightStructured, checkpoint};
    }

    std::vector<records::HeaderSuggestion> allSuggestions(std::size_t column,
                                                          const std::optional<std::string>& preferredPrefix) const
    {
        return ColumnScorer(tables()).suggestions(column, preferredPrefix, ColumnScorer::unlimited);
    }

    // A JSON-object column is offered only JSON-object columns, and any other column only others.
    Suggestions suggestions(const std::optional<std::string>& preferredPrefix) const
    {
        Suggestions lists(leftProfiles.size());
        const ScoringTables tables = this->tables();
        const std::size_t columnsPerBlock =
            std::clamp<std::size_t>(leftColumnOrder.size() / fewestBlocks, 1, mostColumnsPerBlock);
        const std::size_t blocks = (leftColumnOrder.size() + columnsPerBlock - 1) / columnsPerBlock;
        table::runInParallel(blocks, 0, [&](std::size_t block) {
            ColumnScorer scorer(tables);
            const std::size_t end = std::min(leftColumnOrder.size(), (block + 1) * columnsPerBlock);
            for (std::size_t k = block * columnsPerBlock; k < end; ++k) {
                checkpoint();
                const std::size_t column = leftColumnOrder[k];
                lists[column] = scorer.suggestions(column, preferredPrefix, suggestionLimit);
            }
        });
        return lists;
    }
};

struct Proposal {
    std::size_t leftColumn;
    records::HeaderSuggestion best;
};

using CandidateList = std::vector<const records::HeaderSuggestion*>;

// The candidates whose right columns are still free, in list order.
CandidateList freeCandidates(const std::vector<records::HeaderSuggestion>& suggestions, const std::vector<bool>& used)
{
    CandidateList candidates;
    for (const auto& suggestion : suggestions)
        if (!used[static_cast<std::size_t>(suggestion.rightIndex)])
            candidates.push_back(&suggestion);
    return candidates;
}

bool isWithinMargin(const records::HeaderSuggestion& best, const records::HeaderSuggestion& other, double margin)
{
    return best.score - other.score < margin;
}

// Among candidates whose scores lie too close to tell apart, the one the headers single out: a
// header score that leads every other contender's clearly, else the one namesake (same header,
// same occurrence of it) among those sharing the top header score. Values alone cannot separate a
// column of small numbers from an id column that holds them all; the names can.
const records::HeaderSuggestion* settledTie(std::size_t leftColumn, const CandidateList& candidates, double margin,
                                            const Analysis& analysis, const std::optional<std::string>& preferredPrefix)
{
    CandidateList contenders;
    std::vector<double> headerScores;
    for (const records::HeaderSuggestion* candidate : candidates) {
        if (!isWithinMargin(*candidates[0], *candidate, margin))
            continue;
        contenders.push_back(candidate);
        headerScores.push_back(
            analysis.headerScore(leftColumn, static_cast<std::size_t>(candidate->rightIndex), preferredPrefix));
    }
    const auto top = static_cast<std::size_t>(std::ranges::max_element(headerScores) - headerScores.begin());
    bool isClearLead = true;
    for (std::size_t k = 0; k < contenders.size(); ++k)
        isClearLead = isClearLead && (k == top || headerScores[top] - headerScores[k] >= headerLead - scoreRounding);
    if (isClearLead)
        return contenders[top];
    const records::HeaderSuggestion* namesake = nullptr;
    for (std::size_t k = 0; k < contenders.size(); ++k) {
        const bool isTop = headerScores[top] - headerScores[k] < scoreRounding;
        if (!isTop || !analysis.isNamesake(leftColumn, static_cast<std::size_t>(contenders[k]->rightIndex)))
            continue;
        if (namesake)
            return nullptr;
        namesake = contenders[k];
    }
    return namesake;
}

// The candidate to propose for a left column: the best one when it is strong and clearly ahead of
// the next, else the one that settles a tie, else none.
std::optional<records::HeaderSuggestion> proposedCandidate(std::size_t leftColumn, const CandidateList& candidates,
                                                           double margin, const Analysis& analysis,
                                                           const std::optional<std::string>& preferredPrefix)
{
    if (candidates.empty() || candidates[0]->score < assignmentFloor)
        return std::nullopt;
    if (candidates.size() < 2 || !isWithinMargin(*candidates[0], *candidates[1], margin))
        return *candidates[0];
    if (const auto* settled = settledTie(leftColumn, candidates, margin, analysis, preferredPrefix))
        return *settled;
    return std::nullopt;
}

// Whether a list cut at the suggestion limit may leave out candidates that decide the column: all
// but one of its candidates are taken, or its last one is still within the margin of the best.
bool needsUncutList(const std::vector<records::HeaderSuggestion>& suggestions, const CandidateList& candidates,
                    double margin)
{
    if (suggestions.size() != suggestionLimit)
        return false;
    return candidates.size() < 2 || isWithinMargin(*candidates[0], suggestions.back(), margin);
}

// Maps each unmapped left column whose best free candidate is strong and clearly ahead of the
// next, or that its headers single out of a tie; the strongest proposals claim their right columns
// first. A column that its cut list cannot decide is decided on all its candidates, as if none had
// been left out.
void assign(std::vector<records::ColumnMapping>& mappings, const Suggestions& suggestions, std::vector<bool>& used,
            const Analysis& analysis, const std::optional<std::string>& preferredPrefix)
{
    const double margin = preferredPrefix ? marginWithPrefix : marginWithoutPrefix;
    std::vector<Proposal> proposals;
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        if (mappings[i].rightIndex)
            continue;
        auto candidates = freeCandidates(suggestions[i], used);
        std::vector<records::HeaderSuggestion> all;
        if (needsUncutList(suggestions[i], candidates, margin)) {
            all = analysis.allSuggestions(i, preferredPrefix);
            candidates = freeCandidates(all, used);
        }
        if (auto proposed = proposedCandidate(i, candidates, margin, analysis, preferredPrefix))
            proposals.push_back({i, std::move(*proposed)});
    }
    std::stable_sort(proposals.begin(), proposals.end(),
                     [](const Proposal& a, const Proposal& b) { return a.best.score > b.best.score; });
    for (const Proposal& proposal : proposals) {
        const auto rightColumn = static_cast<std::size_t>(proposal.best.rightIndex);
        if (used[rightColumn])
            continue;
        mappings[proposal.leftColumn].rightIndex = proposal.best.rightIndex;
        used[rightColumn] = true;
    }
}

// The entity prefix that mapped right headers carry most often where their left header has none.
std::optional<std::string> dominantEntityPrefix(const std::vector<records::ColumnMapping>& mappings,
                                                const Analysis& analysis)
{
    std::map<std::string_view, std::size_t> counts;
    for (const auto& mapping : mappings) {
        if (!mapping.rightIndex)
            continue;
        const HeaderTerms& leftHeader = analysis.leftTerms(mapping.leftIndex);
        const HeaderTerms& rightHeader = analysis.rightTerms(*mapping.rightIndex);
        if (leftHeader.entityPrefix.empty() && !rightHeader.entityPrefix.empty())
            ++counts[rightHeader.entityPrefix];
    }
    // On equal counts the first prefix in text order wins, so the choice does not vary.
    const auto dominant = std::max_element(counts.begin(), counts.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
    return dominant == counts.end() ? std::nullopt : std::optional<std::string>(dominant->first);
}

bool isKeyField(const HeaderTerms& terms)
{
    return std::find(keyFieldNames.begin(), keyFieldNames.end(), terms.canonicalField.text()) != keyFieldNames.end();
}

// The first mapped column named like a key field, else the first mapped column.
void chooseKey(std::vector<records::ColumnMapping>& mappings, const Analysis& analysis)
{
    auto key = std::find_if(mappings.begin(), mappings.end(), [&](const records::ColumnMapping& mapping) {
        return mapping.rightIndex && isKeyField(analysis.leftTerms(mapping.leftIndex));
    });
    if (key == mappings.end())
        key = std::find_if(mappings.begin(), mappings.end(),
                           [](const records::ColumnMapping& mapping) { return mapping.rightIndex.has_value(); });
    if (key == mappings.end())
        return;
    key->isKey = true;
    key->isIncluded = true;
}

}  // namespace

records::MappingAnalysisResult analyzeMappings(const table::Table& left, const table::Table& right,
                                               const std::function<void()>& checkpoint)
{
    const std::function<void()> check = checkpoint ? checkpoint : [] {};
    const Analysis analysis(left, right, check);
    records::MappingAnalysisResult result{freshMappings(left.columnCount()), analysis.suggestions(std::nullopt)};
    std::vector<bool> used(right.columnCount(), false);
    assign(result.mappings, result.suggestions, used, analysis, std::nullopt);
    const auto dominant = dominantEntityPrefix(result.mappings, analysis);
    if (dominant)
        result.suggestions = analysis.suggestions(dominant);
    assign(result.mappings, result.suggestions, used, analysis, dominant);
    chooseKey(result.mappings, analysis);
    check();
    proposeRules(left, right, result.mappings);
    return result;
}

}  // namespace rowlark::analysis
