#pragma once

// Timing a report of generated differences (GeneratedDifferences.h), whatever its format: each
// export runs in a child process of its own, so that the peak memory it adds on top of the
// differences it reads is its own.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/Differences.h"

namespace rowlark::bench {

// Writes the report of the differences at `selected` (every one) of `summary`, whose both sides
// have the columns `headers`, to `path`.
using ReportWriter =
    std::function<void(const std::filesystem::path& path, const records::ComparisonSummary& summary,
                       const std::vector<std::string>& headers, const std::vector<std::size_t>& selected)>;

// Exports `count` generated differences `runs` times to "report-<count><extension>" in `folder`
// and prints the medians, the file's size and the peak memory added, as "<count> differences to
// <format>, …".
void measureReport(std::size_t count, int runs, const std::filesystem::path& folder, std::string_view extension,
                   std::string_view format, const ReportWriter& write);

}  // namespace rowlark::bench
