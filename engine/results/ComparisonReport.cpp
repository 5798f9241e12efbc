#include "results/ComparisonReport.h"

#include <optional>

#include "text/Unicode.h"

namespace rowlark::results::ComparisonReport {
namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view headerSeparator = " \u00B7 ";
constexpr std::string_view onlyInPrefix = "Only in ";

// Tested on the first scalar rather than the first character: a formula sign followed by a
// combining mark is one character, yet a spreadsheet still reads the formula.
bool needsApostrophe(std::string_view value)
{
    const std::string_view content = text::trimmed(value);
    if (!content.empty() && std::string_view("=+-@").find(content.front()) != std::string_view::npos)
        return true;
    return !value.empty() && (value.front() == '\t' || value.front() == '\r');
}

class LineWriter {
public:
    explicit LineWriter(std::string& text)
        : text_(text)
    {
    }

    void field(std::string_view value)
    {
        if (!isFirstField_)
            text_.push_back(',');
        isFirstField_ = false;
        text_.push_back('"');
        if (needsApostrophe(value))
            text_.push_back('\'');
        for (std::size_t quote = value.find('"'); quote != std::string_view::npos; quote = value.find('"')) {
            text_.append(value.substr(0, quote + 1));
            text_.push_back('"');
            value.remove_prefix(quote + 1);
        }
        text_.append(value);
        text_.push_back('"');
    }

    void field(std::string_view first, std::string_view second, std::string_view third)
    {
        scratch_.assign(first).append(second).append(third);
        field(scratch_);
    }

    // One field per header: the row's cell at that position, empty past the row's end or
    // without a row; cells beyond the headers are not written.
    void cells(const std::optional<std::vector<std::string>>& row, std::size_t headerCount)
    {
        for (std::size_t column = 0; column < headerCount; ++column)
            field(row && column < row->size() ? std::string_view((*row)[column]) : std::string_view());
    }

    void endLine()
    {
        text_.append(lineEnd);
        isFirstField_ = true;
    }

private:
    std::string& text_;
    std::string scratch_;
    bool isFirstField_ = true;
};

void writeHeaderLine(LineWriter& line, std::string_view leftName, std::string_view rightName,
                     const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders)
{
    line.field("Status");
    line.field("Row key");
    for (const std::string& header : leftHeaders)
        line.field(leftName, headerSeparator, header);
    for (const std::string& header : rightHeaders)
        line.field(rightName, headerSeparator, header);
    line.endLine();
}

void writeStatus(LineWriter& line, records::DiffStatus status, std::string_view leftName, std::string_view rightName)
{
    switch (status) {
    case records::DiffStatus::changed:
        line.field(title(records::DiffStatus::changed));
        return;
    case records::DiffStatus::onlyLeft:
        line.field(onlyInPrefix, leftName, {});
        return;
    case records::DiffStatus::onlyRight:
        line.field(onlyInPrefix, rightName, {});
        return;
    }
}

}  // namespace

std::string safeCell(std::string_view value)
{
    if (!needsApostrophe(value))
        return std::string(value);
    std::string safe;
    safe.reserve(value.size() + 1);
    safe.push_back('\'');
    safe.append(value);
    return safe;
}

std::string csv(const records::ComparisonSummary& summary, std::string_view leftName, std::string_view rightName,
                const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders,
                std::span<const std::size_t> indices)
{
    std::string text;
    LineWriter line(text);
    writeHeaderLine(line, leftName, rightName, leftHeaders, rightHeaders);
    for (const std::size_t position : indices) {
        if (position >= summary.differences.size())
            continue;
        const records::RowDifference& difference = summary.differences[position];
        writeStatus(line, difference.status, leftName, rightName);
        line.field(difference.key);
        line.cells(difference.leftRow, leftHeaders.size());
        line.cells(difference.rightRow, rightHeaders.size());
        line.endLine();
    }
    return text;
}

}  // namespace rowlark::results::ComparisonReport
