#include "bench/support/ReportMeasurement.h"

#include <chrono>
#include <cstdio>
#include <numeric>

#include "bench/support/GeneratedDifferences.h"
#include "bench/support/ProcessMeasurement.h"

namespace rowlark::bench {
namespace {

struct Export {
    double seconds = 0;
    double processorSeconds = 0;
    double addedMegabytes = 0;  // peak resident size above the size before the export
    double fileMegabytes = 0;
    bool isPeakReset = false;
};

Export exportOnce(const records::ComparisonSummary& summary, const std::filesystem::path& path,
                  const ReportWriter& write)
{
    Export measured;
    measured.isPeakReset = resetPeakResidentSize();
    const double residentBefore = statusBytes("VmRSS");
    const double processorStart = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::size_t> all(summary.differences.size());
    std::iota(all.begin(), all.end(), 0);
    write(path, summary, orderHeaders(), all);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.processorSeconds = processorSeconds() - processorStart;
    measured.addedMegabytes = (statusBytes("VmHWM") - residentBefore) / 1e6;
    measured.fileMegabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    return measured;
}

}  // namespace

void measureReport(std::size_t count, int runs, const std::filesystem::path& folder, std::string_view extension,
                   std::string_view format, const ReportWriter& write)
{
    const records::ComparisonSummary summary = generatedDifferences(count);
    const std::filesystem::path path = folder / ("report-" + std::to_string(count) + std::string(extension));
    std::vector<double> seconds;
    std::vector<double> processorTimes;
    Export last;
    for (int run = 0; run < runs; ++run) {
        last = measureInChild([&] { return exportOnce(summary, path, write); });
        seconds.push_back(last.seconds);
        processorTimes.push_back(last.processorSeconds);
    }
    std::printf("%zu differences to %.*s, median of %d runs: wall %.2f s, processor %.2f s, %.1f MB file, "
                "peak memory added %.1f MB%s\n",
                count, static_cast<int>(format.size()), format.data(), runs, medianOf(seconds),
                medianOf(processorTimes), last.fileMegabytes, last.addedMegabytes,
                last.isPeakReset ? "" : " (peak not reset: includes the differences)");
}

}  // namespace rowlark::bench
