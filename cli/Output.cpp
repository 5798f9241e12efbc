#include "cli/Output.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "engine/results/HTMLReport.h"
#include "engine/results/RuleTexts.h"
#include "engine/text/JSONWriting.h"

namespace rowlark::cli {
namespace {

using JSONWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Suggestions listed per column in the text form; the JSON form lists them all.
constexpr std::size_t suggestionsShown = 3;

std::string fixed(double value, int fractionDigits)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", fractionDigits, value);
    return buffer;
}

std::size_t groupSize(const results::ComparisonOutcome& outcome, records::ResultFilter filter)
{
    return outcome.index.positions(filter).size();
}

// "#3 email", or "not mapped".
std::string columnLabel(const std::vector<std::string>& headers, std::optional<std::int64_t> index)
{
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= headers.size())
        return "not mapped";
    std::string label = "#";
    label.append(std::to_string(*index + 1))
        .append(" ")
        .append(records::columnName(headers[static_cast<std::size_t>(*index)], *index));
    return label;
}

std::string mappingFlags(const records::ColumnMapping& mapping)
{
    std::string flags = mapping.isKey ? "key, " : "";
    flags += mapping.isIncluded ? "included" : "excluded";
    if (mapping.isManual)
        flags += ", manual";
    if (mapping.rule != values::ComparisonRule())
        flags += ", rule " + mapping.rule.text();
    return flags;
}

// A column name as one shell word: in single quotes unless it needs none.
std::string shellWord(std::string_view text)
{
    const bool isPlain = !text.empty() && std::ranges::all_of(text, [](char character) {
        return std::isalnum(static_cast<unsigned char>(character)) ||
               std::string_view("_-.,:/#@%+=").find(character) != std::string_view::npos;
    });
    if (isPlain)
        return std::string(text);
    std::string word = "'";
    for (const char character : text)
        word += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return word + "'";
}

// "Rate: 10000 of 10000 are the same number written differently; --rule Rate=number compares them
// as numbers", for a column whose proposed rule undoes some of its changes.
void writeFormatOnlyHint(std::ostream& out, const records::ColumnChanges& column)
{
    const std::string name = records::columnName(column.leftHeader, column.leftIndex);
    out << "Hint: " << name << ": " << column.formatOnlyRecords << " of " << column.changedRecords << " are the same "
        << results::formatOnlyNoun(column.proposedRule->kind) << " written differently; --rule "
        << shellWord(name + "=" + column.proposedRule->text()) << " compares them "
        << results::comparedAsText(column.proposedRule->kind) << '\n';
}

// The shortest text that reads back as the same double.
void writeExactNumber(JSONWriter& writer, double value)
{
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    writer.RawValue(buffer, static_cast<std::size_t>(written.ptr - buffer), rapidjson::kNumberType);
}

// The header at `index`, or null outside the headers.
void writeColumn(JSONWriter& writer, std::string_view indexName, std::string_view headerName,
                 const std::vector<std::string>& headers, std::optional<std::int64_t> index)
{
    const bool isColumn = index && *index >= 0 && static_cast<std::size_t>(*index) < headers.size();
    text::writeJSONKey(writer, indexName);
    if (isColumn)
        writer.Int64(*index);
    else
        writer.Null();
    text::writeJSONKey(writer, headerName);
    if (isColumn)
        text::writeJSONString(writer, headers[static_cast<std::size_t>(*index)]);
    else
        writer.Null();
}

void writeSuggestionsJSON(JSONWriter& writer, const std::vector<std::string>& rightHeaders,
                          const std::vector<records::HeaderSuggestion>& suggestions)
{
    writer.StartArray();
    for (const records::HeaderSuggestion& suggestion : suggestions) {
        writer.StartObject();
        writeColumn(writer, "rightIndex", "right", rightHeaders, suggestion.rightIndex);
        text::writeJSONKey(writer, "score");
        writeExactNumber(writer, suggestion.score);
        text::writeJSONKey(writer, "reason");
        text::writeJSONString(writer, suggestion.reason);
        writer.EndObject();
    }
    writer.EndArray();
}

const std::vector<records::HeaderSuggestion>& suggestionsOf(const MappingTables& tables, std::int64_t leftIndex)
{
    static const std::vector<records::HeaderSuggestion> none;
    if (leftIndex < 0 || static_cast<std::size_t>(leftIndex) >= tables.suggestions.size())
        return none;
    return tables.suggestions[static_cast<std::size_t>(leftIndex)];
}

// "Columns only in a.csv: Notes, Extra", or nothing when there are none.
void writeColumnsInOneFile(std::ostream& out, std::string_view fileName, const std::vector<std::string>& headers)
{
    if (headers.empty())
        return;
    out << "Columns only in " << fileName << ": ";
    for (std::size_t i = 0; i < headers.size(); ++i)
        out << (i > 0 ? ", " : "") << headers[i];
    out << '\n';
}

}  // namespace

void writeSummary(std::ostream& out, const FileNames& names, const results::ComparisonOutcome& outcome,
                  const Selection& selection)
{
    const records::ComparisonSummary& summary = outcome.summary;
    out << names.left << ": " << summary.leftRows << " rows; " << names.right << ": " << summary.rightRows << " rows\n";
    out << "Matching: " << summary.matchingRows << '\n';
    out << "Changed: " << groupSize(outcome, records::ResultFilter::changed) << '\n';
    for (const std::size_t position : records::columnsByChanges(summary)) {
        const records::ColumnChanges& column = summary.columns[position];
        out << "  " << records::columnName(column.leftHeader, column.leftIndex) << ": " << column.changedRecords
            << '\n';
    }
    std::size_t formatOnlyColumns = 0;
    for (const std::size_t position : records::columnsByChanges(summary)) {
        const records::ColumnChanges& column = summary.columns[position];
        if (column.formatOnlyRecords > 0) {
            writeFormatOnlyHint(out, column);
            ++formatOnlyColumns;
        }
    }
    if (formatOnlyColumns > 1)
        out << "Hint: --rules proposed compares every column by its proposed rule\n";
    out << "Only in " << names.left << ": " << groupSize(outcome, records::ResultFilter::onlyLeft) << '\n';
    out << "Only in " << names.right << ": " << groupSize(outcome, records::ResultFilter::onlyRight) << '\n';
    writeColumnsInOneFile(out, names.left, summary.leftOnlyColumns);
    writeColumnsInOneFile(out, names.right, summary.rightOnlyColumns);
    if (!outcome.keyWarning.empty())
        out << outcome.keyWarning << '\n';
    if (summary.ambiguousDuplicateKeyGroups >= 1)
        out << summary.ambiguousDuplicateKeyGroups
            << " duplicate-key groups have ambiguous pairings. Review them or add another key column.\n";
    if (selection.isNarrowed)
        out << "Selected: " << selection.count << " of " << summary.differences.size() << " differences\n";
    if (selection.maxDifferences)
        out << "Allowed: at most " << *selection.maxDifferences << " differences; " << selection.count << " selected"
            << (selection.count > *selection.maxDifferences ? ", more than allowed\n" : "\n");
    if (selection.reportPath && results::HTMLReport::isPagePath(*selection.reportPath))
        out << "Exported " << selection.count << " records to " << *selection.reportPath << ".\n";
    else if (selection.reportPath)
        out << "Exported " << selection.count << " rows to " << *selection.reportPath
            << ". Formula-like values were escaped for spreadsheet safety.\n";
    if (selection.isTimed)
        out << "Compared in " << fixed(outcome.elapsed, 2) << " s\n";
}

namespace {

void writeSummaryObject(JSONWriter& writer, const FileNames& names, const results::ComparisonOutcome& outcome)
{
    const records::ComparisonSummary& summary = outcome.summary;
    writer.StartObject();
    text::writeJSONKey(writer, "leftName");
    text::writeJSONString(writer, names.left);
    text::writeJSONKey(writer, "rightName");
    text::writeJSONString(writer, names.right);
    text::writeJSONKey(writer, "leftRows");
    writer.Int64(summary.leftRows);
    text::writeJSONKey(writer, "rightRows");
    writer.Int64(summary.rightRows);
    text::writeJSONKey(writer, "matchingRows");
    writer.Int64(summary.matchingRows);
    text::writeJSONKey(writer, "changed");
    writer.Uint64(groupSize(outcome, records::ResultFilter::changed));
    text::writeJSONKey(writer, "onlyLeft");
    writer.Uint64(groupSize(outcome, records::ResultFilter::onlyLeft));
    text::writeJSONKey(writer, "onlyRight");
    writer.Uint64(groupSize(outcome, records::ResultFilter::onlyRight));
    text::writeJSONKey(writer, "ambiguousDuplicateKeyGroups");
    writer.Int64(summary.ambiguousDuplicateKeyGroups);
    text::writeJSONKey(writer, "keyWarning");
    text::writeJSONString(writer, outcome.keyWarning);
    text::writeJSONKey(writer, "elapsedSeconds");
    writeExactNumber(writer, outcome.elapsed);
    text::writeJSONKey(writer, "columns");
    writer.StartArray();
    for (const records::ColumnChanges& column : summary.columns) {
        writer.StartObject();
        text::writeJSONKey(writer, "left");
        text::writeJSONString(writer, column.leftHeader);
        text::writeJSONKey(writer, "right");
        text::writeJSONString(writer, column.rightHeader);
        text::writeJSONKey(writer, "changed");
        writer.Int64(column.changedRecords);
        text::writeJSONKey(writer, "formatOnly");
        writer.Int64(column.formatOnlyRecords);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
}

// "“Jan”", or "“Lookup” (hidden)".
std::string quotedSheet(const workbook::SheetEntry& sheet)
{
    return "\u201C" + sheet.name + "\u201D" + (sheet.isHidden ? " (hidden)" : "");
}

void writeSheetsInOneFile(std::ostream& out, std::string_view fileName, const std::vector<workbook::SheetEntry>& sheets)
{
    if (sheets.empty())
        return;
    out << "Sheets only in " << fileName << ": ";
    for (std::size_t i = 0; i < sheets.size(); ++i)
        out << (i > 0 ? ", " : "") << quotedSheet(sheets[i]);
    out << '\n';
}

void writeSheetJSON(JSONWriter& writer, const workbook::SheetEntry& sheet)
{
    writer.StartObject();
    text::writeJSONKey(writer, "name");
    text::writeJSONString(writer, sheet.name);
    text::writeJSONKey(writer, "hidden");
    writer.Bool(sheet.isHidden);
    writer.EndObject();
}

void writeSheetListJSON(JSONWriter& writer, std::string_view key, const std::vector<workbook::SheetEntry>& sheets)
{
    text::writeJSONKey(writer, key);
    writer.StartArray();
    for (const workbook::SheetEntry& sheet : sheets)
        writeSheetJSON(writer, sheet);
    writer.EndArray();
}

}  // namespace

void writeSummaryJSON(std::ostream& out, const FileNames& names, const results::ComparisonOutcome& outcome)
{
    rapidjson::StringBuffer buffer;
    JSONWriter writer(buffer);
    writeSummaryObject(writer, names, outcome);
    out << buffer.GetString() << '\n';
}

void writePairHeading(std::ostream& out, const workbook::SheetPair& pair)
{
    out << "Sheet " << quotedSheet(pair.left) << " \u2194 " << quotedSheet(pair.right) << '\n';
}

void writePairError(std::ostream& out, std::string_view error)
{
    out << "Error: " << error << '\n';
}

void writeUnpairedSheets(std::ostream& out, const FileNames& names, const workbook::SheetPairing& pairing)
{
    writeSheetsInOneFile(out, names.left, pairing.onlyInLeft);
    writeSheetsInOneFile(out, names.right, pairing.onlyInRight);
}

void writeSheetsJSON(std::ostream& out, const FileNames& names, const std::vector<PairResult>& pairs,
                     const workbook::SheetPairing& pairing)
{
    rapidjson::StringBuffer buffer;
    JSONWriter writer(buffer);
    writer.StartObject();
    text::writeJSONKey(writer, "sheets");
    writer.StartArray();
    for (const PairResult& pair : pairs) {
        writer.StartObject();
        text::writeJSONKey(writer, "left");
        text::writeJSONString(writer, pair.sheets.left.name);
        text::writeJSONKey(writer, "right");
        text::writeJSONString(writer, pair.sheets.right.name);
        text::writeJSONKey(writer, "leftHidden");
        writer.Bool(pair.sheets.left.isHidden);
        text::writeJSONKey(writer, "rightHidden");
        writer.Bool(pair.sheets.right.isHidden);
        if (pair.outcome) {
            text::writeJSONKey(writer, "summary");
            writeSummaryObject(writer, names, *pair.outcome);
        } else {
            text::writeJSONKey(writer, "error");
            text::writeJSONString(writer, pair.error);
        }
        writer.EndObject();
    }
    writer.EndArray();
    writeSheetListJSON(writer, "onlyInLeft", pairing.onlyInLeft);
    writeSheetListJSON(writer, "onlyInRight", pairing.onlyInRight);
    writer.EndObject();
    out << buffer.GetString() << '\n';
}

void writeMapping(std::ostream& out, const MappingTables& tables)
{
    for (const records::ColumnMapping& mapping : tables.mappings) {
        out << columnLabel(tables.leftHeaders, mapping.leftIndex) << "  →  "
            << columnLabel(tables.rightHeaders, mapping.rightIndex) << "  (" << mappingFlags(mapping) << ")\n";
        const std::vector<records::HeaderSuggestion>& suggestions = suggestionsOf(tables, mapping.leftIndex);
        for (std::size_t i = 0; i < suggestions.size() && i < suggestionsShown; ++i)
            out << "      " << fixed(suggestions[i].score, 3) << "  "
                << columnLabel(tables.rightHeaders, suggestions[i].rightIndex) << "  " << suggestions[i].reason << '\n';
    }
}

void writeMappingJSON(std::ostream& out, const MappingTables& tables)
{
    rapidjson::StringBuffer buffer;
    JSONWriter writer(buffer);
    writer.StartObject();
    text::writeJSONKey(writer, "mappings");
    writer.StartArray();
    for (const records::ColumnMapping& mapping : tables.mappings) {
        writer.StartObject();
        writeColumn(writer, "leftIndex", "left", tables.leftHeaders, mapping.leftIndex);
        writeColumn(writer, "rightIndex", "right", tables.rightHeaders, mapping.rightIndex);
        text::writeJSONKey(writer, "isKey");
        writer.Bool(mapping.isKey);
        text::writeJSONKey(writer, "isIncluded");
        writer.Bool(mapping.isIncluded);
        text::writeJSONKey(writer, "isManual");
        writer.Bool(mapping.isManual);
        text::writeJSONKey(writer, "rule");
        text::writeJSONString(writer, mapping.rule.text());
        text::writeJSONKey(writer, "proposedRule");
        if (mapping.proposedRule)
            text::writeJSONString(writer, mapping.proposedRule->text());
        else
            writer.Null();
        text::writeJSONKey(writer, "suggestions");
        writeSuggestionsJSON(writer, tables.rightHeaders, suggestionsOf(tables, mapping.leftIndex));
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    out << buffer.GetString() << '\n';
}

namespace {

void writeQuotedField(std::ostream& out, std::string_view field)
{
    out << '"';
    for (std::size_t quote = field.find('"'); quote != std::string_view::npos; quote = field.find('"')) {
        out << field.substr(0, quote + 1) << '"';
        field.remove_prefix(quote + 1);
    }
    out << field << '"';
}

template<typename Cell> void writeRecord(std::ostream& out, std::size_t width, Cell cell)
{
    for (std::size_t column = 0; column < width; ++column) {
        if (column > 0)
            out << ',';
        writeQuotedField(out, cell(column));
    }
    out << '\n';
}

}  // namespace

void writeTable(std::ostream& out, const table::Table& table)
{
    const std::size_t width = table.columnCount();
    writeRecord(out, width, [&](std::size_t column) { return std::string_view(table.headers()[column]); });
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        writeRecord(out, width, [&](std::size_t column) { return table.cell(row, column); });
}

}  // namespace rowlark::cli
