// Times the workbook report of generated differences, 10 columns each side (60% changed in two
// columns, 20% only in File A, 20% only in File B): 100,000 differences, then 1,000,000 with the
// peak memory the export adds on top of the differences it reads. Each export runs in a child
// process of its own, so that its peak is its own. Beside the 100,000, the library alone writes
// the same cell texts, unformatted, from memory: the least time the report can take with it.
//
// Usage: bench_xlsx_report <data folder>   (the workbooks are written there)

#include "bench/support/ProcessMeasurement.h"
#include "engine/results/ComparisonReport.h"
#include "engine/results/XLSXReport.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <xlsxwriter.h>

namespace {

using namespace rowlark;

constexpr std::size_t columnCount = 10;

std::vector<std::string> headers()
{
    return {"Order", "Customer", "Email", "City", "Country", "Amount", "Currency", "Placed", "Status", "Notes"};
}

std::vector<std::string> record(std::size_t id, std::mt19937_64& random)
{
    const std::string number = std::to_string(id);
    return {"ORD-" + number,
            "Customer " + std::to_string(random() % 50000),
            "buyer" + number + "@example.org",
            random() % 2 ? "Lyon" : "Osaka",
            random() % 2 ? "France" : "Japan",
            std::to_string(random() % 100000) + "." + std::to_string(10 + random() % 90),
            "EUR",
            "2024-" + std::to_string(1 + random() % 12) + "-" + std::to_string(1 + random() % 28),
            random() % 2 ? "shipped" : "pending",
            random() % 5 == 0 ? "=needs review" : "Order note " + std::to_string(random() % 1000)};
}

records::ComparisonSummary generatedSummary(std::size_t count)
{
    std::mt19937_64 random(20261207);
    const std::vector<std::string> names = headers();
    records::ComparisonSummary summary;
    for (std::size_t column = 0; column < columnCount; ++column)
        summary.columns.push_back(
            {static_cast<std::int64_t>(column), static_cast<std::int64_t>(column), names[column], names[column], 0});
    summary.differences.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        records::RowDifference difference;
        difference.id = records::UUID::random();
        difference.key = "ORD-" + std::to_string(i);
        const std::size_t kind = random() % 10;
        if (kind < 6) {
            difference.status = records::DiffStatus::changed;
            difference.leftRow = record(i, random);
            difference.rightRow = *difference.leftRow;
            for (const std::size_t column : {3, 8}) {
                (*difference.rightRow)[column] += " (new)";
                difference.cells.push_back({records::UUID::random(), names[column], names[column],
                                            (*difference.leftRow)[column], (*difference.rightRow)[column], column});
                ++summary.columns[column].changedRecords;
            }
        } else {
            difference.status = kind < 8 ? records::DiffStatus::onlyLeft : records::DiffStatus::onlyRight;
            (kind < 8 ? difference.leftRow : difference.rightRow) = record(i, random);
        }
        summary.differences.push_back(std::move(difference));
    }
    return summary;
}

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
    const std::vector<std::string> names = headers();
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
    const records::ComparisonSummary summary = generatedSummary(count);
    std::vector<std::size_t> all(summary.differences.size());
    std::iota(all.begin(), all.end(), 0);
    const std::vector<std::string> names = headers();
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
    const records::ComparisonSummary summary = generatedSummary(count);
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
