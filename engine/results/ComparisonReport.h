#pragma once

// The CSV report of a comparison: whole records side by side, every field quoted, and values a
// spreadsheet could read as a formula made inert.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/Differences.h"

namespace rowlark::results::ComparisonReport {

// Whether a spreadsheet would evaluate the value: its first non-blank scalar is one of = + - @, or it
// begins with a tab or a carriage return.
bool isFormulaLike(std::string_view value);

// The value with an apostrophe in front when it is formula-like.
std::string safeCell(std::string_view value);

// Receives the report line by line, for a format other than CSV. Values come as read; making
// them safe is the format's business.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    // Before the fields of the line of `difference`; not called for the header line.
    virtual void beginRecord(const records::RowDifference& difference) = 0;
    virtual void field(std::string_view value) = 0;
    virtual void endLine() = 0;
};

// Walks the report that csv() writes, line for line and field for field.
void write(ReportSink& sink, const records::ComparisonSummary& summary, std::string_view leftName,
           std::string_view rightName, const std::vector<std::string>& leftHeaders,
           const std::vector<std::string>& rightHeaders, std::span<const std::size_t> indices);

// The report of the differences at `indices`, in that order; positions outside the summary are
// skipped. Every line ends with CR LF. How many fields were formula-like goes to `escapedFields`
// when given.
std::string csv(const records::ComparisonSummary& summary, std::string_view leftName, std::string_view rightName,
                const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders,
                std::span<const std::size_t> indices, std::size_t* escapedFields = nullptr);

}  // namespace rowlark::results::ComparisonReport
