// Times the workbook report of generated differences (bench/support/GeneratedDifferences.h):
// 100,000 differences, then 1,000,000 with the peak memory the export adds on top of the
// differences it reads. Each export runs in a child process of its own, so that its peak is its own. Beside the
// 100,000, the library alone writes the same cell texts, unformatted, from memory: the least time the report can take
// with it.
//
// Usage: bench_xlsx_report <data folder>   (the workbooks are written there)

#include "bench/support/GeneratedDifferences.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/results/ComparisonReport.h"
#include "engine/results/XLSXReport.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include <xlsxwriter.h>

namespace {

using namespace rowlark;

struct Export {
    double seconds = 0;
    double processorSeconds = 0;
    double addedMegabytes = 0;  // peak resident size above the size before the export
    double fileMegabytes = 0;
    bool isPeakReset = false;
};

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
    results::XLSXReport::write(path, summary, {"before.csv", "after.csv", names, names, "Order", "2026-12-07 03:00:00"},
                               all);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.processorSeconds = bench::processorSeconds() - processorStart;
    measured.addedMegabytes = (bench::statusBytes("VmHWM") - residentBefore) / 1e6;
    measured.fileMegabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    return measured;
}

// The report's lines, each a list of cell texts as the workbook holds them.
class CellTexts final : public results::ComparisonReport::ReportSink {
public:
    void beginRecord(const records::RowDifference&) override {}
    void field(std::string_view value) override { line_.push_back(results::ComparisonReport::safeCell(value)); }
    void endLine() override { lines.push_back(std::move(line_)); }

    std::vector<std::vector<std::string>> lines;

private:
    std::vector<std::string> line_;
};

double libraryAloneSeconds(const std::vector<std::vector<std::string>>& lines, const std::filesystem::path& path)
{
    const auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Report");
    for (std::size_t row = 0; row < lines.size(); ++row)
        for (std::size_t column = 0; column < lines[row].size(); ++column)
            worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                   lines[row][column].c_str(), nullptr);
    if (workbook_close(workbook) != LXW_NO_ERROR)
        std::fprintf(stderr, "the library could not write %s\n", path.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void measureLibraryAlone(std::size_t count, int runs, const std::filesystem::path& folder)
{
    const records::ComparisonSummary summary = bench::generatedDifferences(count);
    std::vector<std::size_t> all(summary.differences.size());
    std::iota(all.begin(), all.end(), 0);
    const std::vector<std::string> names = bench::orderHeaders();
    CellTexts texts;
    results::ComparisonReport::write(texts, summary, "before.csv", "after.csv", names, names, all);
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run)
        seconds.push_back(libraryAloneSeconds(texts.lines, folder / "library-alone.xlsx"));
    std::printf("  the library alone writing the same %zu cells, unformatted, median of %d runs: wall %.2f s\n",
                texts.lines.size() * (texts.lines.empty() ? 0 : texts.lines.front().size()), runs,
                bench::medianOf(seconds));
}

void measure(std::size_t count, int runs, const std::filesystem::path& folder)
{
    const records::ComparisonSummary summary = bench::generatedDifferences(count);
    const std::filesystem::path path = folder / ("report-" + std::to_string(count) + ".xlsx");
    std::vector<double> seconds;
    std::vector<double> processorSeconds;
    Export last;
    for (int run = 0; run < runs; ++run) {
        last = bench::measureInChild([&] { return exportOnce(summary, path); });
        seconds.push_back(last.seconds);
        processorSeconds.push_back(last.processorSeconds);
    }
    std::printf("%zu differences to XLSX, median of %d runs: wall %.2f s, processor %.2f s, %.1f MB file, "
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
    measureLibraryAlone(100'000, 5, folder);
    std::printf("  (target <= 2 s)\n");
    measure(1'000'000, 1, folder);
    return 0;
}
