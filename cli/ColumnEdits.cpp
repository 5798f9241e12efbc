#include "cli/ColumnEdits.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include <fnmatch.h>

#include "engine/edits/MappingEdits.h"

namespace rowlark::cli {
namespace {

std::string inQuotes(std::string_view text)
{
    return "“" + std::string(text) + "”";
}

// N of "#N", or none when `reference` is not of that form.
std::optional<std::uint64_t> columnNumber(std::string_view reference)
{
    if (reference.size() < 2 || reference.front() != '#')
        return std::nullopt;
    std::uint64_t number = 0;
    const char* end = reference.data() + reference.size();
    const auto [stop, error] = std::from_chars(reference.data() + 1, end, number);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return number;
}

std::optional<std::int64_t> findColumn(const NamedTable& side, std::string_view reference)
{
    const std::vector<std::string>& headers = side.table.headers();
    if (const auto number = columnNumber(reference))
        return *number >= 1 && *number <= headers.size() ? std::optional<std::int64_t>(*number - 1) : std::nullopt;
    const auto header = std::find(headers.begin(), headers.end(), reference);
    if (header == headers.end())
        return std::nullopt;
    return header - headers.begin();
}

records::ColumnMapping& mappingOf(std::vector<records::ColumnMapping>& mappings, std::int64_t leftIndex,
                                  std::string_view reference)
{
    const auto mapping = std::find_if(mappings.begin(), mappings.end(), [&](const records::ColumnMapping& candidate) {
        return candidate.leftIndex == leftIndex;
    });
    if (mapping == mappings.end())
        throw UsageError("column " + inQuotes(reference) + " of File A has no mapping");
    return *mapping;
}

struct ColumnChoice {
    std::int64_t leftIndex;
    std::optional<std::int64_t> rightIndex;  // none for "A=", which leaves A unmapped
};

// Headers may hold "=" themselves: the first split whose two sides name columns is the one meant.
ColumnChoice readChoice(const NamedTable& left, const NamedTable& right, std::string_view choice)
{
    const std::size_t firstEquals = choice.find('=');
    if (firstEquals == std::string_view::npos)
        throw UsageError("--map needs A=B, a File A column, “=” and a File B column, not " + inQuotes(choice));
    for (std::size_t equals = firstEquals; equals != std::string_view::npos; equals = choice.find('=', equals + 1)) {
        const auto leftIndex = findColumn(left, choice.substr(0, equals));
        const std::string_view rightReference = choice.substr(equals + 1);
        if (!leftIndex)
            continue;
        if (rightReference.empty())
            return {*leftIndex, std::nullopt};
        if (const auto rightIndex = findColumn(right, rightReference))
            return {*leftIndex, rightIndex};
    }
    const std::int64_t leftIndex = resolveColumn(left, choice.substr(0, firstEquals));
    return {leftIndex, resolveColumn(right, choice.substr(firstEquals + 1))};
}

std::optional<std::string> chooseColumn(const NamedTable& left, const NamedTable& right,
                                        std::vector<records::ColumnMapping>& mappings, std::string_view choice)
{
    const auto [leftIndex, rightIndex] = readChoice(left, right, choice);
    const records::ColumnMapping& mapping = mappingOf(mappings, leftIndex, choice);
    auto chosen = edits::MappingEdits::chooseRightColumn(left.table, right.table, mappings, mapping.id, rightIndex);
    if (!chosen)
        throw UsageError("cannot map " + inQuotes(choice) +
                         ": a JSON-object column can only be mapped to a JSON-object column");
    mappings = std::move(chosen->mappings);
    if (chosen->filled < 1)
        return std::nullopt;
    return "--map " + std::string(choice) + ": " + edits::MappingEdits::choiceNotice(chosen->filled);
}

void replaceKey(const NamedTable& left, std::vector<records::ColumnMapping>& mappings,
                const std::vector<std::string>& keys)
{
    for (records::ColumnMapping& mapping : mappings)
        if (mapping.isKey)
            edits::MappingEdits::setKey(mappings, mapping.id, false);
    for (const std::string& reference : keys) {
        const records::ColumnMapping& mapping = mappingOf(mappings, resolveColumn(left, reference), reference);
        if (!edits::MappingEdits::setKey(mappings, mapping.id, true))
            throw UsageError("column " + inQuotes(reference) + " of " + left.description +
                             " has no File B column, so it cannot be part of the key");
    }
}

std::string keyColumnError(const NamedTable& left, std::string_view reference)
{
    return "column " + inQuotes(reference) + " of " + left.description +
           " is part of the key, and key columns are always compared (choose the key with --key)";
}

bool isPattern(std::string_view reference)
{
    return reference.find_first_of("*?[") != std::string_view::npos;
}

// The File A columns `reference` names: one column as for resolveColumn, or, when it is a pattern
// that no header equals, every column whose header it matches (at least one).
std::vector<std::int64_t> resolveColumns(const NamedTable& side, std::string_view reference, std::string_view option)
{
    if (!isPattern(reference) || findColumn(side, reference))
        return {resolveColumn(side, reference)};
    std::vector<std::int64_t> columns;
    const std::string pattern(reference);
    const std::vector<std::string>& headers = side.table.headers();
    for (std::size_t column = 0; column < headers.size(); ++column)
        if (::fnmatch(pattern.c_str(), headers[column].c_str(), 0) == 0)
            columns.push_back(static_cast<std::int64_t>(column));
    if (columns.empty())
        throw UsageError(std::string(option) + " " + inQuotes(reference) + " matches no column of " + side.description);
    return columns;
}

// A pattern leaves out the key columns it matches; a key column named on its own is an error.
void exclude(const NamedTable& left, std::vector<records::ColumnMapping>& mappings, const std::string& reference)
{
    const std::vector<std::int64_t> columns = resolveColumns(left, reference, "--exclude");
    std::size_t excluded = 0;
    for (const std::int64_t column : columns)
        if (edits::MappingEdits::setIncluded(mappings, mappingOf(mappings, column, reference).id, false))
            ++excluded;
    if (excluded == 0)
        throw UsageError(keyColumnError(left, reference));
}

// The column part of "COLUMN=RULE": it ends at the first "=" before which a column is named, so
// headers may hold "=" themselves; else at the first "=".
std::string_view ruleColumnReference(const NamedTable& left, std::string_view choice)
{
    const std::size_t firstEquals = choice.find('=');
    if (firstEquals == std::string_view::npos)
        throw UsageError("--rule needs COLUMN=RULE, a File A column, “=” and a rule, not " + inQuotes(choice));
    for (std::size_t equals = firstEquals; equals != std::string_view::npos; equals = choice.find('=', equals + 1))
        if (findColumn(left, choice.substr(0, equals)))
            return choice.substr(0, equals);
    return choice.substr(0, firstEquals);
}

void applyRule(const NamedTable& left, std::vector<records::ColumnMapping>& mappings, std::string_view choice)
{
    const std::string_view reference = ruleColumnReference(left, choice);
    values::ComparisonRule rule;
    try {
        rule = values::ComparisonRule::fromText(choice.substr(reference.size() + 1));
    } catch (const values::RuleTextError& error) {
        throw UsageError("--rule " + std::string(choice) + ": the rule for column " + inQuotes(reference) +
                         " is wrong: " + error.what());
    }
    std::size_t applied = 0;
    for (const std::int64_t column : resolveColumns(left, reference, "--rule"))
        if (edits::MappingEdits::setRule(mappings, mappingOf(mappings, column, reference).id, rule))
            ++applied;
    if (applied == 0)
        throw UsageError(keyColumnError(left, reference));
}

}  // namespace

std::int64_t resolveColumn(const NamedTable& side, std::string_view reference)
{
    if (const auto index = findColumn(side, reference))
        return *index;
    if (columnNumber(reference))
        throw UsageError("no column " + std::string(reference) + " in " + side.description + ", which has " +
                         std::to_string(side.table.columnCount()) + " columns");
    throw UsageError("no column " + inQuotes(reference) + " in " + side.description);
}

std::vector<std::string> applyColumnEdits(const Options& options, const NamedTable& left, const NamedTable& right,
                                          std::vector<records::ColumnMapping>& mappings)
{
    std::vector<std::string> notices;
    for (const std::string& choice : options.columnChoices)
        if (auto notice = chooseColumn(left, right, mappings, choice))
            notices.push_back(std::move(*notice));
    if (!options.keyColumns.empty())
        replaceKey(left, mappings, options.keyColumns);
    for (const std::string& reference : options.excludedColumns)
        exclude(left, mappings, reference);
    if (options.isTakingProposedRules)
        edits::MappingEdits::takeProposedRules(mappings, {});
    for (const std::string& choice : options.ruleChoices)
        applyRule(left, mappings, choice);
    return notices;
}

}  // namespace rowlark::cli
