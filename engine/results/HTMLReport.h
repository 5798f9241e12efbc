#pragma once

// The report as one self-contained web page, to read offline, share and print: the summary, the
// changes by column and every selected record with its changed fields, the parts of each edit
// that differ marked as the inspector marks them. The page's own script lists the records a page at
// a time, so that a report of a hundred thousand records opens at once; everything else is plain
// markup. Every text from the compared files is written as text: as escaped markup, or as a JSON
// string the script puts into the page as text nodes, so no markup, script or address from a file
// is ever live, and the page's Content-Security-Policy allows nothing but its own script and style
// sheet. The page is written out as it is made, in bounded memory however many records it holds.

#include <cstddef>
#include <filesystem>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"

namespace rowlark::results::HTMLReport {

// What the page says about the comparison besides its records.
struct Details {
    std::string_view leftName;
    std::string_view rightName;
    const std::vector<std::string>& leftHeaders;
    const std::vector<std::string>& rightHeaders;
    // The mapping compared, as the inspector lists a record's fields by it.
    const std::vector<records::ColumnMapping>& mappings;
    std::string_view key;         // the key columns, as XLSXReport::keyColumns() names them
    std::string_view comparedAt;  // when the comparison ran, as the user reads it
    std::string_view keyWarning;  // empty when both keys are present and unique
    bool ignoreCase = false;      // parts that differ in letter case alone are not marked
    // What selected the records, each left out when empty: the filter's title, the search text and
    // the File A column the changed records were narrowed to.
    std::string_view filter;
    std::string_view search;
    std::string_view changedColumn;
};

// Whether `path` asks for a web page: its extension is .html or .htm in any case.
bool isPagePath(const std::filesystem::path& path);

// The page of the differences at `indices`, in that order; positions outside the summary are
// skipped.
std::string page(const records::ComparisonSummary& summary, const Details& details,
                 std::span<const std::size_t> indices);

// Writes the page to `path` as one whole, as ReportFile::write does, and with its answer to a stop
// request. Fails with std::system_error when the file cannot be written.
bool write(const std::filesystem::path& path, const records::ComparisonSummary& summary, const Details& details,
           std::span<const std::size_t> indices, std::stop_token stop = {});

}  // namespace rowlark::results::HTMLReport
