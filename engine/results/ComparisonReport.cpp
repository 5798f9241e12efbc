#include "engine/results/ComparisonReport.h"

#include <optional>

#include "engine/text/Unicode.h"

namespace rowlark::results::ComparisonReport {
namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view headerSeparator = " \u00B7 ";
constexpr std::string_view onlyInPrefix = "Only in ";

// The CSV form of the report.
class LineWriter final : public ReportSink {
public:
    explicit LineWriter(std::string& text)
        : text_(text)
    {
    }

    void beginRecord(const records::RowDifference&) override {}

    void field(std::string_view value) override
    {
        if (!isFirstField_)
            text_.push_back(',');
        isFirstField_ = false;
        text_.push_back('"');
        if (isFormulaLike(value)) {
            text_.push_back('\'');
            ++escapedFields_;
        }
        for (std::size_t quote = value.find('"'); quote != std::string_view::npos; quote = value.find('"')) {
            text_.append(value.substr(0, quote + 1));
            text_.push_back('"');
            value.remove_prefix(quote + 1);
        }
        text_.append(value);
        text_.push_back('"');
    }

    void endLine() override
    {
        text_.append(lineEnd);
        isFirstField_ = true;
    }

    std::size_t escapedFields() const { return escapedFields_; }

private:
    std::string& text_;
    bool isFirstField_ = true;
    std::size_t escapedFields_ = 0;
};

// Joins pieces into one field of the sink.
class FieldJoiner {
public:
    explicit FieldJoiner(ReportSink& sink)
        : sink_(sink)
    {
    }

    void field(std::string_view first, std::string_view second, std::string_view third)
    {
        scratch_.assign(first).append(second).append(third);
        sink_.field(scratch_);
    }

private:
    ReportSink& sink_;
    std::string scratch_;
};

// One field per header: the row's cell at that position, empty past the row's end or without a
// row; cells beyond the headers are not written.
void writeCells(ReportSink& line, const std::optional<std::vector<std::string>>& row, std::size_t headerCount)
{
    for (std::size_t column = 0; column < headerCount; ++column)
        line.field(row && column < row->size() ? std::string_view((*row)[column]) : std::string_view());
}

void writeHeaderLine(ReportSink& line, FieldJoiner& joiner, std::string_view leftName, std::string_view rightName,
                     const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders)
{
    line.field("Status");
    line.field("Row key");
    for (const std::string& header : leftHeaders)
        joiner.field(leftName, headerSeparator, header);
    for (const std::string& header : rightHeaders)
        joiner.field(rightName, headerSeparator, header);
    line.endLine();
}

void writeStatus(ReportSink& line, FieldJoiner& joiner, records::DiffStatus status, std::string_view leftName,
                 std::string_view rightName)
{
    switch (status) {
    case records::DiffStatus::changed:
        line.field(title(records::DiffStatus::changed));
        return;
    case records::DiffStatus::onlyLeft:
        joiner.field(onlyInPrefix, leftName, {});
        return;
    case records::DiffStatus::onlyRight:
        joiner.field(onlyInPrefix, rightName, {});
        return;
    }
}

}  // namespace

// Tested on the first scalar rather than the first character: a formula sign followed by a
// combining mark is one character, yet a spreadsheet still reads the formula.
bool isFormulaLike(std::string_view value)
{
    const std::string_view content = text::trimmed(value);
    if (!content.empty() && std::string_view("=+-@").find(content.front()) != std::string_view::npos)
        return true;
    return !value.empty() && (value.front() == '\t' || value.front() == '\r');
}

std::string safeCell(std::string_view value)
{
    if (!isFormulaLike(value))
        return std::string(value);
    std::string safe;
    safe.reserve(value.size() + 1);
    safe.push_back('\'');
    safe.append(value);
    return safe;
}

void write(ReportSink& sink, const records::ComparisonSummary& summary, std::string_view leftName,
           std::string_view rightName, const std::vector<std::string>& leftHeaders,
           const std::vector<std::string>& rightHeaders, std::span<const std::size_t> indices)
{
    FieldJoiner joiner(sink);
    writeHeaderLine(sink, joiner, leftName, rightName, leftHeaders, rightHeaders);
    for (const std::size_t position : indices) {
        if (position >= summary.differences.size())
            continue;
        const records::RowDifference& difference = summary.differences[position];
        sink.beginRecord(difference);
        writeStatus(sink, joiner, difference.status, leftName, rightName);
        sink.field(difference.key);
        writeCells(sink, difference.leftRow, leftHeaders.size());
        writeCells(sink, difference.rightRow, rightHeaders.size());
        sink.endLine();
    }
}

std::string csv(const records::ComparisonSummary& summary, std::string_view leftName, std::string_view rightName,
                const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders,
                std::span<const std::size_t> indices, std::size_t* escapedFields)
{
    std::string text;
    LineWriter line(text);
    write(line, summary, leftName, rightName, leftHeaders, rightHeaders, indices);
    if (escapedFields)
        *escapedFields = line.escapedFields();
    return text;
}

}  // namespace rowlark::results::ComparisonReport
