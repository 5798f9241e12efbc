#include "analysis/MappingAnalysis.h"

#include "analysis/ScoredSuggestions.h"
#include "analysis/SharedValueTable.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>

namespace rowlark::analysis::CSVComparator {
namespace {

constexpr double assignmentFloor = 0.86;
constexpr double marginWithoutPrefix = 0.035;
constexpr double marginWithPrefix = 0.015;

constexpr std::array<std::string_view, 5> keyFieldNames{"id", "mrn", "patientid", "recordid", "accountnumber"};

using Suggestions = std::vector<std::vector<records::HeaderSuggestion>>;

std::vector<ColumnProfile> profiles(const table::CSVTable& table)
{
    std::vector<ColumnProfile> result;
    result.reserve(table.columnCount());
    for (std::size_t column = 0; column < table.columnCount(); ++column)
        result.push_back(profile(table, static_cast<std::int64_t>(column)));
    return result;
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
    const table::CSVTable& left;
    const table::CSVTable& right;
    std::vector<ColumnProfile> leftProfiles;
    std::vector<HeaderTerms> leftTerms;
    RightColumns rightColumns;
    SharedValueTable sharedValues;
    std::vector<std::vector<HeaderMatch>> headerMatches;  // per left column, one per right column

    Analysis(const table::CSVTable& leftTable, const table::CSVTable& rightTable)
        : left(leftTable)
        , right(rightTable)
        , leftProfiles(profiles(leftTable))
        , leftTerms(headerTerms(leftTable.headers()))
        , rightColumns(prepareRightColumns(rightTable.headers(), profiles(rightTable)))
        , sharedValues(leftProfiles, rightColumns.profiles)
    {
        headerMatches.reserve(leftTerms.size());
        for (const auto& terms : leftTerms)
            headerMatches.push_back(CSVComparator::headerMatches(terms, rightColumns));
    }

    // A JSON-object column is offered only JSON-object columns, and any other column only others.
    Suggestions suggestions(const std::optional<std::string>& preferredPrefix) const
    {
        Suggestions lists(leftTerms.size());
        for (std::size_t i = 0; i < leftTerms.size(); ++i) {
            lists[i] = scoredSuggestions({leftTerms[i], leftProfiles[i], headerMatches[i], sharedValues.row(i)},
                                         rightColumns, preferredPrefix);
            const bool isStructured = left.structuredColumnIndices().contains(i);
            std::erase_if(lists[i], [&](const records::HeaderSuggestion& suggestion) {
                return right.structuredColumnIndices().contains(static_cast<std::size_t>(suggestion.rightIndex)) !=
                       isStructured;
            });
        }
        return lists;
    }
};

struct Proposal {
    std::size_t leftColumn;
    records::HeaderSuggestion best;
};

std::optional<records::HeaderSuggestion> clearBestCandidate(const std::vector<records::HeaderSuggestion>& suggestions,
                                                            const std::vector<bool>& used, double margin)
{
    std::vector<const records::HeaderSuggestion*> candidates;
    for (const auto& suggestion : suggestions) {
        if (!used[static_cast<std::size_t>(suggestion.rightIndex)])
            candidates.push_back(&suggestion);
        if (candidates.size() == 2)
            break;
    }
    if (candidates.empty() || candidates[0]->score < assignmentFloor)
        return std::nullopt;
    if (candidates.size() == 2 && candidates[0]->score - candidates[1]->score < margin)
        return std::nullopt;
    return *candidates[0];
}

// Maps each unmapped left column whose best free candidate is strong and clearly ahead of the
// next; the strongest proposals claim their right columns first.
void assign(std::vector<records::ColumnMapping>& mappings, const Suggestions& suggestions, std::vector<bool>& used,
            bool hasPreferredPrefix)
{
    const double margin = hasPreferredPrefix ? marginWithPrefix : marginWithoutPrefix;
    std::vector<Proposal> proposals;
    for (std::size_t i = 0; i < mappings.size(); ++i)
        if (!mappings[i].rightIndex)
            if (auto best = clearBestCandidate(suggestions[i], used, margin))
                proposals.push_back({i, std::move(*best)});
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
                                                const std::vector<HeaderTerms>& leftTerms,
                                                const std::vector<HeaderTerms>& rightTerms)
{
    std::map<std::string_view, std::size_t> counts;
    for (const auto& mapping : mappings) {
        if (!mapping.rightIndex)
            continue;
        const HeaderTerms& leftHeader = leftTerms[static_cast<std::size_t>(mapping.leftIndex)];
        const HeaderTerms& rightHeader = rightTerms[static_cast<std::size_t>(*mapping.rightIndex)];
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
void chooseKey(std::vector<records::ColumnMapping>& mappings, const std::vector<HeaderTerms>& leftTerms)
{
    auto key = std::find_if(mappings.begin(), mappings.end(), [&](const records::ColumnMapping& mapping) {
        return mapping.rightIndex && isKeyField(leftTerms[static_cast<std::size_t>(mapping.leftIndex)]);
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

records::MappingAnalysisResult analyzeMappings(const table::CSVTable& left, const table::CSVTable& right)
{
    const Analysis analysis(left, right);
    records::MappingAnalysisResult result{freshMappings(left.columnCount()), analysis.suggestions(std::nullopt)};
    std::vector<bool> used(right.columnCount(), false);
    assign(result.mappings, result.suggestions, used, false);
    const auto dominant = dominantEntityPrefix(result.mappings, analysis.leftTerms, analysis.rightColumns.terms);
    if (dominant)
        result.suggestions = analysis.suggestions(dominant);
    assign(result.mappings, result.suggestions, used, dominant.has_value());
    chooseKey(result.mappings, analysis.leftTerms);
    return result;
}

}  // namespace rowlark::analysis::CSVComparator
