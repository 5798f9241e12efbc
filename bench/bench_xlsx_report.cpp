// Times the workbook report of generated differences (bench/support/GeneratedDifferences.h):
// 100,000 differences, then 1,000,000 with the peak memory the export adds on top of the
// differences it reads. Each export runs in a child process of its own, so that its peak is its own. Beside the
// 100,000, the library alone writes the same cell texts, unformatted, from memory: the least time the report can take
// with it.
//
// Usage: bench_xlsx_report <data folder>   (the workbooks are written there)

#include "bench/support/GeneratedDifferences.h"
#include "bench/support/ProcessMeasurement.h"
#include "bench/support/ReportMeasurement.h"
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

void writeWorkbook(const std::filesystem::path& path, const records::ComparisonSummary& summary,
                   const std::vector<std::string>& headers, const std::vector<std::size_t>& selected)
{
    results::XLSXReport::write(
        path, summary, {"before.csv", "after.csv", headers, headers, "Order", "2026-12-07 03:00:00", {}, {}, {}},
        selected);
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

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(folder);
    bench::measureReport(100'000, 5, folder, ".xlsx", "XLSX", writeWorkbook);
    measureLibraryAlone(100'000, 5, folder);
    std::printf("  (target <= 2 s)\n");
    bench::measureReport(1'000'000, 1, folder, ".xlsx", "XLSX", writeWorkbook);
    return 0;
}
