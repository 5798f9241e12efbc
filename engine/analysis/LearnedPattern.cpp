#include "engine/analysis/LearnedPattern.h"

#include "engine/analysis/HeaderTerms.h"
#include "engine/analysis/RuleProposal.h"

#include <algorithm>
#include <set>

namespace rowlark::analysis {
namespace {

// Applied to a normalized left header that starts with `drop`: `add` followed by the rest.
struct HeaderPattern {
    CharacterText drop;
    CharacterText add;
};

bool isValidIndex(std::int64_t index, std::size_t count)
{
    return index >= 0 && static_cast<std::uint64_t>(index) < count;
}

bool isStructured(const table::Table& table, std::int64_t index)
{
    return index >= 0 && table.structuredColumnIndices().contains(static_cast<std::size_t>(index));
}

CharacterText normalizedHeader(const table::Table& table, std::int64_t index)
{
    if (!isValidIndex(index, table.columnCount()))
        return {};
    return CharacterText(text::normalizeHeader(table.headers()[static_cast<std::size_t>(index)]));
}

// A changed entity prefix between two headers naming the same field.
std::optional<HeaderPattern> entityPattern(const CharacterText& leftHeader, const CharacterText& rightHeader)
{
    const HeaderTerms left = termsOfNormalized(leftHeader);
    const HeaderTerms right = termsOfNormalized(rightHeader);
    if (left.canonicalField != right.canonicalField || left.entityPrefix == right.entityPrefix)
        return std::nullopt;
    return HeaderPattern{CharacterText(left.entityPrefix), CharacterText(right.entityPrefix)};
}

std::optional<HeaderPattern> learnedPattern(const CharacterText& leftHeader, const CharacterText& rightHeader)
{
    if (leftHeader.empty() || rightHeader.empty())
        return std::nullopt;
    if (auto relation = namespacePrefix(leftHeader, rightHeader)) {
        if (relation->isOnRight)
            return HeaderPattern{{}, std::move(relation->prefix)};
        return HeaderPattern{std::move(relation->prefix), {}};
    }
    return entityPattern(leftHeader, rightHeader);
}

// The first free right column whose normalized header is `target`, structured exactly when the
// left column is.
std::optional<std::int64_t> patternTarget(const table::Table& right, const std::vector<CharacterText>& rightHeaders,
                                          const CharacterText& target, bool structured,
                                          const std::set<std::int64_t>& used)
{
    for (std::size_t j = 0; j < rightHeaders.size(); ++j) {
        const auto index = static_cast<std::int64_t>(j);
        if (!used.contains(index) && isStructured(right, index) == structured && rightHeaders[j] == target)
            return index;
    }
    return std::nullopt;
}

std::int64_t applyPattern(const HeaderPattern& pattern, const table::Table& left, const table::Table& right,
                          std::vector<records::ColumnMapping>& mappings, const records::UUID& anchorID)
{
    std::set<std::int64_t> used;
    for (const auto& mapping : mappings)
        if (mapping.rightIndex)
            used.insert(*mapping.rightIndex);
    std::vector<CharacterText> rightHeaders;
    rightHeaders.reserve(right.columnCount());
    for (std::size_t j = 0; j < right.columnCount(); ++j)
        rightHeaders.push_back(normalizedHeader(right, static_cast<std::int64_t>(j)));
    std::int64_t filled = 0;
    for (auto& mapping : mappings) {
        if (mapping.id == anchorID || mapping.isManual)
            continue;
        // A left header that normalizes to nothing has no header to follow the pattern with.
        const CharacterText header = normalizedHeader(left, mapping.leftIndex);
        if (header.empty() || !header.startsWith(pattern.drop))
            continue;
        // The mapping's own column stays available to it while it searches.
        if (mapping.rightIndex)
            used.erase(*mapping.rightIndex);
        const CharacterText target = pattern.add + header.dropFirst(pattern.drop.length());
        const auto found = patternTarget(right, rightHeaders, target, isStructured(left, mapping.leftIndex), used);
        if (found) {
            filled += mapping.rightIndex != found ? 1 : 0;
            mapping.rightIndex = found;
            mapping.isIncluded = true;
        }
        if (mapping.rightIndex)
            used.insert(*mapping.rightIndex);
    }
    return filled;
}

LearnedPatternResult choiceApplied(const table::Table& left, const table::Table& right,
                                   std::vector<records::ColumnMapping> mappings, const records::UUID& anchorID,
                                   std::optional<std::int64_t> selectedRightIndex)
{
    const auto anchor = std::find_if(mappings.begin(), mappings.end(),
                                     [&](const records::ColumnMapping& mapping) { return mapping.id == anchorID; });
    if (anchor == mappings.end())
        return {std::move(mappings), 0};
    if (!selectedRightIndex) {
        anchor->rightIndex.reset();
        anchor->isManual = true;
        anchor->isIncluded = false;
        anchor->isKey = false;
        return {std::move(mappings), 0};
    }
    const std::int64_t chosen = *selectedRightIndex;
    if (!isValidIndex(anchor->leftIndex, left.columnCount()) || !isValidIndex(chosen, right.columnCount()) ||
        isStructured(left, anchor->leftIndex) != isStructured(right, chosen))
        return {std::move(mappings), 0};

    for (auto& mapping : mappings) {
        if (mapping.id != anchorID && mapping.rightIndex == chosen) {
            mapping.rightIndex.reset();
            mapping.isKey = false;
            mapping.isManual = false;
            mapping.isIncluded = false;
        }
    }
    anchor->rightIndex = chosen;
    anchor->isManual = true;
    anchor->isIncluded = true;

    const auto pattern = learnedPattern(normalizedHeader(left, anchor->leftIndex), normalizedHeader(right, chosen));
    if (!pattern || (pattern->drop.empty() && pattern->add.empty()))
        return {std::move(mappings), 0};
    const std::int64_t filled = applyPattern(*pattern, left, right, mappings, anchorID);
    return {std::move(mappings), filled};
}

}  // namespace

// The rules proposed for the mappings whose right column changed are proposed anew.
LearnedPatternResult applyLearnedPattern(const table::Table& left, const table::Table& right,
                                         std::vector<records::ColumnMapping> mappings, const records::UUID& anchorID,
                                         std::optional<std::int64_t> selectedRightIndex)
{
    std::vector<std::optional<std::int64_t>> before;
    before.reserve(mappings.size());
    for (const records::ColumnMapping& mapping : mappings)
        before.push_back(mapping.rightIndex);
    LearnedPatternResult result = choiceApplied(left, right, std::move(mappings), anchorID, selectedRightIndex);
    for (std::size_t index = 0; index < result.mappings.size() && index < before.size(); ++index) {
        records::ColumnMapping& mapping = result.mappings[index];
        if (mapping.rightIndex != before[index])
            mapping.proposedRule = proposedRule(left, right, mapping);
    }
    return result;
}

}  // namespace rowlark::analysis
