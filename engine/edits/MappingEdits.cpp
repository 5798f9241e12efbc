#include "engine/edits/MappingEdits.h"

#include <algorithm>

#include "engine/analysis/LearnedPattern.h"

namespace rowlark::edits::MappingEdits {
namespace {

bool isStructured(const table::Table& table, std::int64_t index)
{
    return index >= 0 && table.structuredColumnIndices().contains(static_cast<std::size_t>(index));
}

// The mapping with this id, or null; const when the list is.
template<typename Mappings> auto find(Mappings& mappings, const records::UUID& id) -> decltype(mappings.data())
{
    const auto mapping = std::find_if(mappings.begin(), mappings.end(),
                                      [&](const records::ColumnMapping& candidate) { return candidate.id == id; });
    return mapping == mappings.end() ? nullptr : &*mapping;
}

}  // namespace

bool canPair(const table::Table& left, const table::Table& right, std::int64_t leftIndex, std::int64_t rightIndex)
{
    return isStructured(left, leftIndex) == isStructured(right, rightIndex);
}

std::optional<ManualChoice> chooseRightColumn(const table::Table& left, const table::Table& right,
                                              const std::vector<records::ColumnMapping>& mappings,
                                              const records::UUID& id, std::optional<std::int64_t> rightIndex)
{
    const records::ColumnMapping* anchor = find(mappings, id);
    if (!anchor || (rightIndex && !canPair(left, right, anchor->leftIndex, *rightIndex)))
        return std::nullopt;
    auto [updated, filled] = analysis::applyLearnedPattern(left, right, mappings, id, rightIndex);
    return ManualChoice{std::move(updated), filled};
}

std::string choiceNotice(std::int64_t filled)
{
    if (filled < 1)
        return "Mapping updated.";
    return "Applied this header pattern to " + std::to_string(filled) +
           (filled == 1 ? " related column" : " related columns") + ". Review the suggestions before comparing.";
}

bool setKey(std::vector<records::ColumnMapping>& mappings, const records::UUID& id, bool value)
{
    records::ColumnMapping* mapping = find(mappings, id);
    if (!mapping || !mapping->rightIndex)
        return false;
    mapping->isKey = value;
    if (value)
        mapping->isIncluded = true;
    if (value && !mapping->rule.isComparing())
        mapping->rule = {};
    return true;
}

bool setIncluded(std::vector<records::ColumnMapping>& mappings, const records::UUID& id, bool value)
{
    records::ColumnMapping* mapping = find(mappings, id);
    if (!mapping || mapping->isKey)
        return false;
    mapping->isIncluded = value;
    return true;
}

bool setRule(std::vector<records::ColumnMapping>& mappings, const records::UUID& id, const values::ComparisonRule& rule)
{
    records::ColumnMapping* mapping = find(mappings, id);
    if (!mapping || (mapping->isKey && !rule.isComparing()))
        return false;
    mapping->rule = rule;
    return true;
}

std::size_t takeProposedRules(std::vector<records::ColumnMapping>& mappings,
                              const std::vector<std::int64_t>& leftIndices)
{
    std::size_t taken = 0;
    for (records::ColumnMapping& mapping : mappings) {
        const bool isChosen =
            leftIndices.empty() || std::ranges::find(leftIndices, mapping.leftIndex) != leftIndices.end();
        if (isChosen && mapping.proposedRule && mapping.rule != *mapping.proposedRule) {
            mapping.rule = *mapping.proposedRule;
            ++taken;
        }
    }
    return taken;
}

}  // namespace rowlark::edits::MappingEdits
