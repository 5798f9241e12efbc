#include "analysis/MappingAnalysis.h"

#include "analysis/HeaderCatalog.h"
#include "analysis/ScoredSuggestions.h"
#include "analysis/SharedValues.h"
#include "analysis/SuggestionOrder.h"
#include "table/Parallel.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <string>

namespace rowlark::analysis::CSVComparator {
namespace {

constexpr double assignmentFloor = 0.86;
constexpr double marginWithoutPrefix = 0.035;
constexpr double marginWithPrefix = 0.015;
// Nobody reads past the first screenful of candidates; thousands per column would cost gigabytes.
constexpr std::size_t suggestionLimit = 200;
// Left columns a worker scores in a row: enough to reuse its scratch and header matches, few
// enough that a table of a few heavy columns (headers of thousands of letters) still spreads.
constexpr std::size_t mostColumnsPerBlock = 64;
constexpr std::size_t fewestBlocks = 16;

constexpr std::array<std::string_view, 5> keyFieldNames{"id", "mrn", "patientid", "recordid", "accountnumber"};

using Suggestions = std::vector<std::vector<records::HeaderSuggestion>>;

std::vector<ColumnProfile> profiles(const table::CSVTable& table, const std::function<void()>& checkpoint)
{
    std::vector<ColumnProfile> result(table.columnCount());
    table::runInParallel(result.size(), 0, [&](std::size_t column) {
        checkpoint();
        result[column] = profile(table, static_cast<std::int64_t>(column));
    });
    return result;
}

std::vector<bool> structuredFlags(const table::CSVTable& table)
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
        mappings[i].id = records::Uuid::random();
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

    Analysis(const table::CSVTable& left, const table::CSVTable& right, const std::function<void()>& checkpoint)
        : checkpoint(checkpoint)
        , headers(left.headers(), right.headers(), checkpoint)
        , leftProfiles(profiles(left, checkpoint))
        , rightProfiles(profiles(right, checkpoint))
        , sharedValues(rightProfiles, checkpoint)
        , rightHeaderRanks(headerTextRanks(right.headers()))
        , leftStructured(structuredFlags(left))
        , rightStructured(structuredFlags(right))
        , leftColumnOrder(columnsByShape(headers, left.columnCount()))
    {
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

// The first two candidates whose right columns are still free.
std::vector<const records::HeaderSuggestion*> freeCandidates(const std::vector<records::HeaderSuggestion>& suggestions,
                                                             const std::vector<bool>& used)
{
    std::vector<const records::HeaderSuggestion*> candidates;
    for (const auto& suggestion : suggestions) {
        if (!used[static_cast<std::size_t>(suggestion.rightIndex)])
            candidates.push_back(&suggestion);
        if (candidates.size() == 2)
            break;
    }
    return candidates;
}

std::optional<records::HeaderSuggestion>
clearBestCandidate(const std::vector<const records::HeaderSuggestion*>& candidates, double margin)
{
    if (candidates.empty() || candidates[0]->score < assignmentFloor)
        return std::nullopt;
    if (candidates.size() == 2 && candidates[0]->score - candidates[1]->score < margin)
        return std::nullopt;
    return *candidates[0];
}

// Maps each unmapped left column whose best free candidate is strong and clearly ahead of the
// next; the strongest proposals claim their right columns first. A column whose kept suggestions
// are taken all but one is decided on all its candidates, as if none had been left out.
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
        if (candidates.size() < 2 && suggestions[i].size() == suggestionLimit) {
            all = analysis.allSuggestions(i, preferredPrefix);
            candidates = freeCandidates(all, used);
        }
        if (auto best = clearBestCandidate(candidates, margin))
            proposals.push_back({i, std::move(*best)});
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

records::MappingAnalysisResult analyzeMappings(const table::CSVTable& left, const table::CSVTable& right,
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
    return result;
}

}  // namespace rowlark::analysis::CSVComparator
