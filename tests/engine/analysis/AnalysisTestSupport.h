#pragma once

#include "engine/analysis/ColumnKind.h"
#include "engine/records/Mapping.h"
#include "engine/table/Table.h"
#include "tests/engine/text/CaseFile.h"

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace rowlark::analysis::testing {

constexpr const char* kindNames[] = {"empty", "boolean", "date",    "email",   "phone", "uuid",
                                     "url",   "json",    "integer", "decimal", "text"};

// A table of one column holding `values` row by row.
inline table::Table columnTable(const std::vector<std::string>& values, std::string header = "Column")
{
    std::vector<std::vector<std::string>> rows;
    rows.reserve(values.size());
    for (const auto& value : values)
        rows.push_back({value});
    return table::Table::fromRows({std::move(header)}, rows);
}

// `rowCount` (below 1,000) rows in which column c holds distinct numbers of its own, so no two
// columns share a value and every column is an integer column (too short to be a phone column).
inline table::Table distinctIntegerTable(std::vector<std::string> headers, std::size_t rowCount, std::size_t seed)
{
    std::vector<std::vector<std::string>> rows(rowCount);
    for (std::size_t row = 0; row < rowCount; ++row)
        for (std::size_t column = 0; column < headers.size(); ++column)
            rows[row].push_back(std::to_string((seed + column + 1) * 1000 + row));
    return table::Table::fromRows(std::move(headers), rows);
}

// The items of a data-file field that lists them separated by |.
inline std::vector<std::string> listed(const std::string& field)
{
    std::vector<std::string> items;
    for (std::size_t start = 0;;) {
        const std::size_t bar = field.find('|', start);
        items.push_back(field.substr(start, bar - start));
        if (bar == std::string::npos)
            return items;
        start = bar + 1;
    }
}

// A score to ten significant digits, as the data files write them.
inline std::string scoreText(double score)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", score);
    return text;
}

// Suggestions as the data files write them: "column score reason", separated by "; ".
inline std::string suggestionsText(const std::vector<records::HeaderSuggestion>& suggestions)
{
    std::string text;
    for (const auto& suggestion : suggestions)
        text += (text.empty() ? "" : "; ") + std::to_string(suggestion.rightIndex) + " " + scoreText(suggestion.score) +
                " " + suggestion.reason;
    return text;
}

// Mappings as the data files write them, one a word: the right column ("-" for none), then k for
// the key, m for a manual choice, x for a mapping left out.
inline std::string mappingsText(const std::vector<records::ColumnMapping>& mappings)
{
    std::string text;
    for (const auto& mapping : mappings)
        text += (text.empty() ? "" : " ") + (mapping.rightIndex ? std::to_string(*mapping.rightIndex) : "-") +
                (mapping.isKey ? "k" : "") + (mapping.isManual ? "m" : "") + (mapping.isIncluded ? "" : "x");
    return text;
}

inline std::vector<records::ColumnMapping> mappingsFrom(const std::string& text)
{
    std::istringstream words(text);
    std::vector<records::ColumnMapping> mappings;
    for (std::string word; words >> word;) {
        records::ColumnMapping& mapping = mappings.emplace_back();
        mapping.id = records::UUID::random();
        mapping.leftIndex = static_cast<std::int64_t>(mappings.size() - 1);
        if (word[0] != '-')
            mapping.rightIndex = std::stoll(word);
        mapping.isKey = word.find('k') != std::string::npos;
        mapping.isManual = word.find('m') != std::string::npos;
        mapping.isIncluded = word.find('x') == std::string::npos;
    }
    return mappings;
}

}  // namespace rowlark::analysis::testing
