#include "engine/results/HTMLReport.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/results/HTMLReportAssets.h"
#include "engine/results/ReportFile.h"
#include "engine/text/TextDifference.h"
#include "engine/text/Unicode.h"

namespace rowlark::results::HTMLReport {
namespace {

namespace fs = std::filesystem;

constexpr char32_t replacementCharacter = 0xFFFD;
constexpr std::string_view replacementBytes = "\xEF\xBF\xBD";
constexpr std::string_view bothWays = " \u21C4 ";
constexpr std::string_view renameArrow = " \u2192 ";
constexpr std::string_view partSeparator = " \u00B7 ";
// What the page gathers before it goes to the file, and how many records lie between two looks at
// the stop request.
constexpr std::size_t bufferBytes = 1 << 20;
constexpr std::size_t recordsBetweenStopChecks = 4096;

// Thrown from the records when a stop was requested; ends the write without a page.
struct Stopped {};

// Room for the longest replacement an escape makes ("\\u0000").
using Scratch = std::array<char, 8>;

// Copies `text` to `out` as valid UTF-8 (an invalid sequence becomes U+FFFD), each scalar that
// `escape` gives a replacement for (a text that is not empty) replaced by it.
template<typename Escape> void appendEscaped(std::string& out, std::string_view text, Escape escape)
{
    Scratch scratch{};
    std::size_t copied = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t start = position;
        const auto byte = static_cast<unsigned char>(text[position]);
        char32_t scalar = byte;
        if (byte < 0x80)
            ++position;
        else
            scalar = text::nextScalar(text, position);
        const std::string_view replacement =
            scalar == replacementCharacter ? replacementBytes : escape(scalar, scratch);
        if (replacement.empty())
            continue;
        out.append(text.substr(copied, start - copied)).append(replacement);
        copied = position;
    }
    out.append(text.substr(copied));
}

std::string_view escapeMarkup(char32_t scalar, Scratch&)
{
    switch (scalar) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&#39;";
    case 0:
        return replacementBytes;
    default:
        return {};
    }
}

// Inside a script element nothing may read as the end of it, so < > & are escaped as well.
std::string_view escapeJSON(char32_t scalar, Scratch& scratch)
{
    static constexpr std::string_view hexDigits = "0123456789abcdef";
    switch (scalar) {
    case '"':
        return "\\\"";
    case '\\':
        return "\\\\";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        break;
    }
    if (scalar >= 0x20 && scalar != '<' && scalar != '>' && scalar != '&' && scalar != 0x2028 && scalar != 0x2029)
        return {};
    scratch = {'\\', 'u', '0', '0', '0', '0'};
    for (std::size_t digit = 0; digit < 4; ++digit)
        scratch[2 + digit] = hexDigits[(scalar >> (12 - 4 * digit)) & 0xF];
    return {scratch.data(), 6};
}

// The base64 form of a digest given in hexadecimal, as a Content-Security-Policy names it.
std::string base64OfHex(std::string_view hex)
{
    static constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16)));
    std::string encoded;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
        std::uint32_t group = 0;
        for (std::size_t i = 0; i < 3; ++i)
            group = (group << 8) | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0U);
        for (std::size_t i = 0; i < 4; ++i)
            encoded.push_back(i <= count ? alphabet[(group >> (18 - 6 * i)) & 0x3F] : '=');
    }
    return encoded;
}

std::string contentSecurityPolicy()
{
    return "default-src 'none'; script-src 'sha256-" + base64OfHex(pageScriptSHA256) + "'; style-src 'sha256-" +
           base64OfHex(pageStyleSHA256) + "'; base-uri 'none'; form-action 'none'";
}

// 1234567 as "1,234,567".
std::string grouped(std::size_t number)
{
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0)
            text.push_back(',');
        text.push_back(digits[at]);
    }
    return text;
}

// Whole percent, but never 0% for a share above nothing nor 100% for one below the whole.
std::string shareText(std::size_t count, std::size_t total)
{
    if (total == 0)
        return "0%";
    const std::size_t percent = (count * 100 + total / 2) / total;
    if (percent == 0 && count > 0)
        return "<1%";
    if (percent == 100 && count < total)
        return ">99%";
    return std::to_string(percent) + "%";
}

// One line of a record as the inspector lists it: a mapping, or a File B column no mapping uses.
struct Field {
    std::optional<std::int64_t> leftIndex;
    std::optional<std::int64_t> rightIndex;
    bool isCompared = false;
};

std::vector<Field> inspectorFields(const Details& details)
{
    std::vector<Field> fields;
    std::vector<bool> isRightUsed(details.rightHeaders.size(), false);
    for (const records::ColumnMapping& mapping : details.mappings) {
        fields.push_back({mapping.leftIndex, mapping.rightIndex, mapping.isIncluded || mapping.isKey});
        if (mapping.rightIndex && *mapping.rightIndex >= 0 &&
            static_cast<std::size_t>(*mapping.rightIndex) < isRightUsed.size())
            isRightUsed[static_cast<std::size_t>(*mapping.rightIndex)] = true;
    }
    for (std::size_t column = 0; column < isRightUsed.size(); ++column)
        if (!isRightUsed[column])
            fields.push_back({std::nullopt, static_cast<std::int64_t>(column), false});
    return fields;
}

// Per compared column of the summary, the line of the inspector it is shown on, if any.
std::vector<std::optional<std::size_t>> fieldsOfColumns(const records::ComparisonSummary& summary,
                                                        const std::vector<Field>& fields)
{
    std::unordered_map<std::int64_t, std::size_t> fieldOfLeftColumn;
    for (std::size_t field = 0; field < fields.size(); ++field)
        if (fields[field].leftIndex)
            fieldOfLeftColumn.try_emplace(*fields[field].leftIndex, field);
    std::vector<std::optional<std::size_t>> found;
    for (const records::ColumnChanges& column : summary.columns) {
        const auto field = fieldOfLeftColumn.find(column.leftIndex);
        found.push_back(field == fieldOfLeftColumn.end() ? std::nullopt : std::optional(field->second));
    }
    return found;
}

// How many of the records on the page changed in each compared column, the most changed first.
struct ColumnCount {
    std::size_t column = 0;  // in the summary's columns
    std::size_t records = 0;
};

struct RecordCounts {
    std::size_t records = 0;
    std::size_t changed = 0;
    std::vector<ColumnCount> columns;  // only columns with changes
};

RecordCounts countRecords(const records::ComparisonSummary& summary, std::span<const std::size_t> indices)
{
    RecordCounts counts;
    std::vector<std::size_t> perColumn(summary.columns.size(), 0);
    for (const std::size_t position : indices) {
        if (position >= summary.differences.size())
            continue;
        ++counts.records;
        const records::RowDifference& difference = summary.differences[position];
        if (difference.status == records::DiffStatus::changed)
            ++counts.changed;
        for (const records::CellDifference& cell : difference.cells)
            if (cell.column < perColumn.size())
                ++perColumn[cell.column];
    }
    for (std::size_t column = 0; column < perColumn.size(); ++column)
        if (perColumn[column] > 0)
            counts.columns.push_back({column, perColumn[column]});
    std::ranges::stable_sort(counts.columns, std::ranges::greater(), &ColumnCount::records);
    return counts;
}

std::string columnTitle(const records::ColumnChanges& column)
{
    std::string title = records::columnName(column.leftHeader, column.leftIndex);
    if (column.rightHeader != column.leftHeader)
        title.append(renameArrow).append(records::columnName(column.rightHeader, column.rightIndex));
    return title;
}

// Gathers the page and hands it on in pieces of about a megabyte.
class PageWriter {
public:
    using Output = std::function<void(std::string_view)>;

    explicit PageWriter(Output output)
        : output_(std::move(output))
    {
        buffer_.reserve(bufferBytes + bufferBytes / 4);
    }

    PageWriter& markup(std::string_view text)
    {
        buffer_.append(text);
        return *this;
    }

    PageWriter& text(std::string_view text)
    {
        appendEscaped(buffer_, text, escapeMarkup);
        return *this;
    }

    PageWriter& json(std::string_view text)
    {
        buffer_.push_back('"');
        appendEscaped(buffer_, text, escapeJSON);
        buffer_.push_back('"');
        return *this;
    }

    PageWriter& number(std::size_t value) { return markup(std::to_string(value)); }

    void flushIfFull()
    {
        if (buffer_.size() >= bufferBytes)
            flush();
    }

    void flush()
    {
        output_(buffer_);
        buffer_.clear();
    }

private:
    Output output_;
    std::string buffer_;
};

class PageMaker {
public:
    PageMaker(PageWriter& page, const records::ComparisonSummary& summary, const Details& details,
              std::span<const std::size_t> indices, std::stop_token stop)
        : page_(page)
        , summary_(summary)
        , details_(details)
        , indices_(indices)
        , stop_(std::move(stop))
        , fields_(inspectorFields(details))
        , fieldOfColumn_(fieldsOfColumns(summary, fields_))
        , counts_(countRecords(summary, indices))
    {
    }

    void make()
    {
        writeHead();
        page_.markup("<body>\n");
        writeTitleAndFacts();
        page_.markup("<main>\n");
        writeSummary();
        writeColumns();
        writeViewer();
        page_.markup("</main>\n<footer>Made by Rowlark. This page holds everything it shows and loads nothing from "
                     "elsewhere.</footer>\n");
        if (counts_.records > 0) {
            writeData();
            page_.markup("<script>").markup(pageScript).markup("</script>\n");
        }
        page_.markup("</body>\n</html>\n");
        page_.flush();
    }

private:
    std::string onlyIn(std::string_view name) const { return "Only in " + std::string(name); }

    void writeHead()
    {
        page_.markup("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n")
            .markup("<meta http-equiv=\"Content-Security-Policy\" content=\"")
            .markup(contentSecurityPolicy())
            .markup("\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n")
            .markup("<meta name=\"referrer\" content=\"no-referrer\">\n<meta name=\"generator\" content=\"Rowlark\">\n")
            .markup("<title>")
            .text(details_.leftName)
            .text(bothWays)
            .text(details_.rightName)
            .markup(" \u2014 Rowlark comparison</title>\n<style>")
            .markup(pageStyle)
            .markup("</style>\n</head>\n");
    }

    void fact(std::string_view term, std::string_view description)
    {
        page_.markup("<dt>").text(term).markup("</dt><dd>").text(description).markup("</dd>\n");
    }

    std::string selectionText() const
    {
        std::string selection(details_.filter.empty() ? std::string_view("All differences") : details_.filter);
        if (!details_.search.empty())
            selection.append(partSeparator).append("containing \u201C").append(details_.search).append("\u201D");
        if (!details_.changedColumn.empty())
            selection.append(partSeparator).append("changed in \u201C").append(details_.changedColumn).append("\u201D");
        return selection;
    }

    void writeTitleAndFacts()
    {
        page_.markup("<header>\n<h1>")
            .text(details_.leftName)
            .text(bothWays)
            .text(details_.rightName)
            .markup("</h1>\n<dl class=\"facts\">\n");
        fact("File A", details_.leftName);
        fact("File B", details_.rightName);
        fact("Key", details_.key.empty() ? std::string_view("None") : details_.key);
        fact("Compared", details_.comparedAt);
        if (details_.ignoreCase)
            fact("Letter case", "Ignored");
        fact("Records", selectionText());
        page_.markup("</dl>\n</header>\n");
    }

    void counter(std::string_view className, std::size_t number, std::string_view label)
    {
        page_.markup("<li class=\"")
            .markup(className)
            .markup("\"><span class=\"number\">")
            .markup(grouped(number))
            .markup("</span><span class=\"label\">")
            .text(label)
            .markup("</span></li>\n");
    }

    void note(std::string_view text) { page_.markup("<p class=\"note\">").text(text).markup("</p>\n"); }

    void columnsInOneFile(std::string_view name, const std::vector<std::string>& columns)
    {
        if (columns.empty())
            return;
        std::string text = "Columns only in " + std::string(name) + ": ";
        for (std::size_t i = 0; i < columns.size(); ++i)
            text.append(i > 0 ? ", " : "").append(columns[i]);
        note(text);
    }

    void writeSummary()
    {
        std::array<std::size_t, 3> statuses{};
        for (const records::RowDifference& difference : summary_.differences)
            ++statuses[static_cast<std::size_t>(difference.status)];
        page_.markup("<section aria-labelledby=\"summary-title\">\n<h2 id=\"summary-title\">Summary</h2>\n")
            .markup("<ul class=\"counters\">\n");
        counter("matching", static_cast<std::size_t>(summary_.matchingRows), "Matching");
        counter("changed", statuses[0], "Changed");
        counter("only-left", statuses[1], onlyIn(details_.leftName));
        counter("only-right", statuses[2], onlyIn(details_.rightName));
        page_.markup("</ul>\n");
        note(std::string(details_.leftName) + " has " + grouped(static_cast<std::size_t>(summary_.leftRows)) +
             " rows and " + std::string(details_.rightName) + " " +
             grouped(static_cast<std::size_t>(summary_.rightRows)) + ". This page holds " + grouped(counts_.records) +
             " of the " + grouped(summary_.differences.size()) + " differences.");
        columnsInOneFile(details_.leftName, summary_.leftOnlyColumns);
        columnsInOneFile(details_.rightName, summary_.rightOnlyColumns);
        if (!details_.keyWarning.empty())
            note(details_.keyWarning);
        if (summary_.ambiguousDuplicateKeyGroups >= 1)
            note(std::to_string(summary_.ambiguousDuplicateKeyGroups) +
                 " duplicate-key groups have ambiguous pairings. Review them or add another key column.");
        page_.markup("</section>\n");
    }

    void writeColumns()
    {
        page_.markup("<section aria-labelledby=\"columns-title\">\n<h2 id=\"columns-title\">Changes by column</h2>\n");
        if (counts_.columns.empty()) {
            note("No field changed in the records of this page.");
            page_.markup("</section>\n");
            return;
        }
        page_.markup("<table class=\"columns\">\n<thead><tr><th>Column</th><th>Changed records</th><th>Share</th>")
            .markup("<th></th></tr></thead>\n<tbody>\n");
        for (const ColumnCount& count : counts_.columns) {
            page_.markup("<tr><td class=\"name\">")
                .text(columnTitle(summary_.columns[count.column]))
                .markup("</td><td class=\"count\">")
                .markup(grouped(count.records))
                .markup("</td><td class=\"share\">")
                .text(shareText(count.records, counts_.changed))
                .markup("</td><td><meter min=\"0\" max=\"")
                .number(counts_.changed)
                .markup("\" value=\"")
                .number(count.records)
                .markup("\"></meter></td></tr>\n");
        }
        page_.markup("</tbody>\n</table>\n</section>\n");
    }

    void pager(std::string_view place)
    {
        page_.markup("<div class=\"pager ")
            .markup(place)
            .markup("\"><button type=\"button\" class=\"previous\">\u2039 Previous</button><span class=\"page\">")
            .markup("</span><button type=\"button\" class=\"next\">Next \u203A</button></div>\n");
    }

    void writeViewer()
    {
        page_.markup("<section aria-labelledby=\"records-title\">\n<h2 id=\"records-title\">Records</h2>\n");
        if (counts_.records == 0) {
            note("No differences were selected.");
            page_.markup("</section>\n");
            return;
        }
        page_
            .markup("<noscript><p class=\"note\">The records are listed by the page\u2019s own script, which is "
                    "turned off in this browser.</p></noscript>\n")
            .markup("<div id=\"viewer\" hidden>\n<div class=\"controls\" id=\"controls\">\n")
            .markup("<label>Show <select id=\"status\"></select></label>\n")
            .markup("<label>Changed in <select id=\"field\"></select></label>\n")
            .markup("<input type=\"search\" id=\"search\" placeholder=\"Search keys and values\u2026\" ")
            .markup("aria-label=\"Search keys and values\">\n")
            .markup("<label><input type=\"checkbox\" id=\"changed-only\" checked> Changed fields only</label>\n")
            .markup("<span class=\"count\" id=\"count\"></span>\n</div>\n");
        pager("top");
        page_.markup("<p class=\"print-note\" id=\"print-note\"></p>\n<ol class=\"records\" id=\"records\"></ol>\n")
            .markup("<p class=\"empty\" id=\"no-records\" hidden>No records match.</p>\n");
        pager("bottom");
        page_.markup("</div>\n</section>\n");
    }

    void jsonStrings(const std::vector<std::string>& texts)
    {
        page_.markup("[");
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (i > 0)
                page_.markup(",");
            page_.json(texts[i]);
        }
        page_.markup("]");
    }

    void jsonIndex(const std::optional<std::int64_t>& index)
    {
        if (index)
            page_.markup(std::to_string(*index));
        else
            page_.markup("null");
    }

    void writeFields()
    {
        page_.markup(",\"fields\":[");
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            page_.markup(i > 0 ? ",[" : "[");
            jsonIndex(fields_[i].leftIndex);
            page_.markup(",");
            jsonIndex(fields_[i].rightIndex);
            page_.markup(fields_[i].isCompared ? ",1]" : ",0]");
        }
        page_.markup("],\"columns\":[");
        bool isFirst = true;
        for (const ColumnCount& count : counts_.columns) {
            const std::optional<std::size_t> field = fieldOfColumn_[count.column];
            if (!field)
                continue;
            page_.markup(std::exchange(isFirst, false) ? "[" : ",[").number(*field).markup(",");
            page_.json(columnTitle(summary_.columns[count.column])).markup(",").number(count.records).markup("]");
        }
        page_.markup("]");
    }

    void jsonRow(const std::optional<std::vector<std::string>>& row)
    {
        if (row)
            jsonStrings(*row);
        else
            page_.markup("null");
    }

    // The value in pieces, those that differ from the other value at odd places.
    void jsonSegments(std::string_view value, const std::vector<text::TextSpan>& spans)
    {
        page_.markup("[");
        std::size_t at = 0;
        for (const text::TextSpan& span : spans) {
            page_.json(value.substr(at, span.begin - at)).markup(",");
            page_.json(value.substr(span.begin, span.end - span.begin)).markup(",");
            at = span.end;
        }
        page_.json(value.substr(at)).markup("]");
    }

    void writeChanges(const records::RowDifference& difference)
    {
        page_.markup("[");
        bool isFirst = true;
        for (const records::CellDifference& cell : difference.cells) {
            const std::optional<std::size_t> field =
                cell.column < fieldOfColumn_.size() ? fieldOfColumn_[cell.column] : std::nullopt;
            if (!field)
                continue;
            const text::TextDifference parts =
                text::textDifference(cell.leftValue, cell.rightValue, details_.ignoreCase);
            page_.markup(std::exchange(isFirst, false) ? "[" : ",[").number(*field).markup(",");
            jsonSegments(cell.leftValue, parts.left);
            page_.markup(",");
            jsonSegments(cell.rightValue, parts.right);
            page_.markup("]");
        }
        page_.markup("]");
    }

    void writeRecord(const records::RowDifference& difference)
    {
        page_.markup("[").number(static_cast<std::size_t>(difference.status)).markup(",").json(difference.key);
        page_.markup(",");
        jsonRow(difference.leftRow);
        page_.markup(",");
        jsonRow(difference.rightRow);
        page_.markup(",");
        writeChanges(difference);
        page_.markup("]");
    }

    void writeData()
    {
        page_.markup("<script type=\"application/json\" id=\"report-data\">{\"leftName\":")
            .json(details_.leftName)
            .markup(",\"rightName\":")
            .json(details_.rightName)
            .markup(",\"leftHeaders\":");
        jsonStrings(details_.leftHeaders);
        page_.markup(",\"rightHeaders\":");
        jsonStrings(details_.rightHeaders);
        writeFields();
        page_.markup(",\"records\":[\n");
        std::size_t written = 0;
        for (const std::size_t position : indices_) {
            if (position >= summary_.differences.size())
                continue;
            if (written % recordsBetweenStopChecks == 0 && stop_.stop_requested())
                throw Stopped{};
            page_.markup(written++ > 0 ? ",\n" : "");
            writeRecord(summary_.differences[position]);
            page_.flushIfFull();
        }
        page_.markup("\n]}</script>\n");
    }

    PageWriter& page_;
    const records::ComparisonSummary& summary_;
    const Details& details_;
    std::span<const std::size_t> indices_;
    std::stop_token stop_;
    std::vector<Field> fields_;
    std::vector<std::optional<std::size_t>> fieldOfColumn_;
    RecordCounts counts_;
};

}  // namespace

bool isPagePath(const fs::path& path)
{
    const std::string extension = text::lowercased(path.extension().string());
    return extension == ".html" || extension == ".htm";
}

std::string page(const records::ComparisonSummary& summary, const Details& details,
                 std::span<const std::size_t> indices)
{
    std::string text;
    PageWriter writer([&text](std::string_view piece) { text.append(piece); });
    PageMaker(writer, summary, details, indices, {}).make();
    return text;
}

bool write(const fs::path& path, const records::ComparisonSummary& summary, const Details& details,
           std::span<const std::size_t> indices, std::stop_token stop)
{
    try {
        return ReportFile::write(
            path,
            [&](int descriptor) {
                PageWriter writer([descriptor](std::string_view piece) { ReportFile::writeAll(descriptor, piece); });
                PageMaker(writer, summary, details, indices, stop).make();
            },
            stop);
    } catch (const Stopped&) {
        return false;
    }
}

}  // namespace rowlark::results::HTMLReport
