// Times the web page report of generated differences (bench/support/GeneratedDifferences.h):
// 100,000 differences, then 1,000,000, with the peak memory the export adds on top of the
// differences it reads. Each export runs in a child process of its own, so that its peak is its own.
// The page of 100,000 stays in the data folder for bench/html-report-in-browser.sh.
//
// Usage: bench_html_report <data folder>   (the pages are written there)

#include "bench/support/GeneratedDifferences.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/results/HTMLReport.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace rowlark;

struct Export {
    double seconds = 0;
    double processorSeconds = 0;
    double addedMegabytes = 0;  // peak resident size above the size before the export
    double fileMegabytes = 0;
    bool isPeakReset = false;
};

std::vector<records::ColumnMapping> sameColumns(std::size_t count)
{
    std::vector<records::ColumnMapping> mappings;
    for (std::size_t column = 0; column < count; ++column) {
        const auto index = static_cast<std::int64_t>(column);
        mappings.push_back({records::UUID::random(), index, index, column == 0, false, true});
    }
    return mappings;
}

Export exportOnce(const records::ComparisonSummary& summary, const std::filesystem::path& path)
{
    Export measured;
    measured.isPeakReset = bench::resetPeakResidentSize();
    const double residentBefore = bench::statusBytes("VmRSS");
    const double processorStart = bench::processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::size_t> all(summary.differences.size());
    std::iota(all.begin(), all.end(), 0);
    const std::vector<std::string> names = bench::orderHeaders();
    const std::vector<records::ColumnMapping> mappings = sameColumns(names.size());
    results::HTMLReport::write(
        path, summary,
        {"before.csv", "after.csv", names, names, mappings, "Order", "2026-12-07 03:00:00", "", false, "", "", ""},
        all);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.processorSeconds = bench::processorSeconds() - processorStart;
    measured.addedMegabytes = (bench::statusBytes("VmHWM") - residentBefore) / 1e6;
    measured.fileMegabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    return measured;
}

void measure(std::size_t count, int runs, const std::filesystem::path& folder)
{
    const records::ComparisonSummary summary = bench::generatedDifferences(count);
    const std::filesystem::path path = folder / ("report-" + std::to_string(count) + ".html");
    std::vector<double> seconds;
    std::vector<double> processorSeconds;
    Export last;
    for (int run = 0; run < runs; ++run) {
        last = bench::measureInChild([&] { return exportOnce(summary, path); });
        seconds.push_back(last.seconds);
        processorSeconds.push_back(last.processorSeconds);
    }
    std::printf("%zu differences to HTML, median of %d runs: wall %.2f s, processor %.2f s, %.1f MB file, "
                "peak memory added %.1f MB%s\n",
                count, runs, bench::medianOf(seconds), bench::medianOf(processorSeconds), last.fileMegabytes,
                last.addedMegabytes, last.isPeakReset ? "" : " (peak not reset: includes the differences)");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(folder);
    measure(100'000, 5, folder);
    std::printf("  (target <= 2 s)\n");
    measure(1'000'000, 1, folder);
    return 0;
}
