// Times the web page report of generated differences (bench/support/GeneratedDifferences.h):
// 100,000 differences, then 1,000,000, with the peak memory the export adds on top of the
// differences it reads. Each export runs in a child process of its own, so that its peak is its own.
// The page of 100,000 stays in the data folder for bench/html-report-in-browser.sh.
//
// Usage: bench_html_report <data folder>   (the pages are written there)

#include "bench/support/ReportMeasurement.h"
#include "engine/results/HTMLReport.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace rowlark;

std::vector<records::ColumnMapping> sameColumns(std::size_t count)
{
    std::vector<records::ColumnMapping> mappings;
    for (std::size_t column = 0; column < count; ++column) {
        const auto index = static_cast<std::int64_t>(column);
        mappings.push_back({records::UUID::random(), index, index, column == 0, false, true});
    }
    return mappings;
}

void writePage(const std::filesystem::path& path, const records::ComparisonSummary& summary,
               const std::vector<std::string>& headers, const std::vector<std::size_t>& selected)
{
    const std::vector<records::ColumnMapping> mappings = sameColumns(headers.size());
    results::HTMLReport::write(
        path, summary,
        {"before.csv", "after.csv", headers, headers, mappings, "Order", "2026-12-07 03:00:00", "", false, "", "", ""},
        selected);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(folder);
    bench::measureReport(100'000, 5, folder, ".html", "HTML", writePage);
    std::printf("  (target <= 2 s)\n");
    bench::measureReport(1'000'000, 1, folder, ".html", "HTML", writePage);
    return 0;
}
