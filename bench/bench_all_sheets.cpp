// Times whole workbooks compared sheet by sheet, as rowlark-compare --all-sheets compares them:
// two workbooks of 12 sheets of 100,000 rows by 10 columns, File B with changed, removed and added
// rows on every sheet. Each run is a child process of its own, so that its peak resident size is
// its own; one pair compared alone is measured beside it, for the peak one pair costs.
//
// Usage: bench_all_sheets <data folder>   (the workbooks are written there once)

#include "bench/support/ProcessMeasurement.h"
#include "engine/results/SheetComparison.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <xlsxwriter.h>

namespace {

using namespace rowlark;
namespace fs = std::filesystem;

constexpr int sheetCount = 12;
constexpr int rowCount = 100'000;  // data rows, below the header
constexpr int columnCount = 10;
constexpr int runs = 3;

// Row `row` of sheet `sheet`: an id, then texts and numbers. File B changes one cell of every
// 500th row, leaves out every 10,000th and adds five rows at the end.
void writeRow(lxw_worksheet* worksheet, lxw_row_t at, int sheet, int row, bool isFileB)
{
    worksheet_write_number(worksheet, at, 0, row + 1, nullptr);
    for (int column = 1; column < columnCount; ++column) {
        const bool isChanged = isFileB && column == 3 && row % 500 == 0;
        if (column % 3 == 0)
            worksheet_write_number(worksheet, at, static_cast<lxw_col_t>(column),
                                   (row % 997) * 1.25 + sheet + (isChanged ? 1 : 0), nullptr);
        else
            worksheet_write_string(
                worksheet, at, static_cast<lxw_col_t>(column),
                ("s" + std::to_string(sheet) + " r" + std::to_string(row % 4099) + " c" + std::to_string(column))
                    .c_str(),
                nullptr);
    }
}

void writeWorkbook(const fs::path& path, bool isFileB)
{
    if (fs::exists(path))
        return;
    const fs::path partial = path.string() + ".partial";
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(partial.c_str(), &options);
    for (int sheet = 1; sheet <= sheetCount; ++sheet) {
        lxw_worksheet* worksheet = workbook_add_worksheet(workbook, ("Month " + std::to_string(sheet)).c_str());
        for (int column = 0; column < columnCount; ++column)
            worksheet_write_string(worksheet, 0, static_cast<lxw_col_t>(column),
                                   column == 0 ? "id" : ("field " + std::to_string(column)).c_str(), nullptr);
        lxw_row_t at = 1;
        for (int row = 0; row < rowCount; ++row)
            if (!isFileB || row % 10'000 != 9'999)
                writeRow(worksheet, at++, sheet, row, isFileB);
        for (int row = rowCount; isFileB && row < rowCount + 5; ++row)
            writeRow(worksheet, at++, sheet, row, isFileB);
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        std::exit(1);
    }
    fs::rename(partial, path);
}

struct Measurement {
    double wallSeconds;
    double processorSeconds;
    double peakBytes;
    std::size_t pairs;
    std::size_t differences;
};

// Compares the first `pairLimit` pairs (all when 0), keeping every outcome as the command line
// keeps them for its JSON summary and report.
Measurement measure(const results::WorkbookFiles& files, std::size_t pairLimit)
{
    return bench::measureInChild([&] {
        bench::resetPeakResidentSize();
        const double processorStart = bench::processorSeconds();
        const auto start = std::chrono::steady_clock::now();
        workbook::SheetPairing pairing = results::pairWorkbookSheets(files);
        if (pairLimit > 0 && pairing.pairs.size() > pairLimit)
            pairing.pairs.resize(pairLimit);
        std::vector<results::SheetComparison> kept;
        Measurement result{0, 0, 0, 0, 0};
        results::compareSheetPairs(files, pairing, false, {}, [&](results::SheetComparison comparison) {
            if (!comparison.outcome) {
                std::fprintf(stderr, "pair %s failed: %s\n", comparison.sheets.left.name.c_str(),
                             comparison.error.c_str());
                std::exit(1);
            }
            result.differences += comparison.outcome->summary.differences.size();
            kept.push_back(std::move(comparison));
        });
        result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.processorSeconds = bench::processorSeconds() - processorStart;
        result.peakBytes = bench::statusBytes("VmHWM");
        result.pairs = kept.size();
        return result;
    });
}

void report(const char* label, const results::WorkbookFiles& files, std::size_t pairLimit)
{
    std::vector<double> walls;
    std::vector<double> processors;
    std::vector<double> peaks;
    Measurement last{};
    for (int run = 0; run < runs; ++run) {
        last = measure(files, pairLimit);
        walls.push_back(last.wallSeconds);
        processors.push_back(last.processorSeconds);
        peaks.push_back(last.peakBytes);
    }
    std::printf("%-28s %zu pairs, %zu differences: %.2f s wall, %.2f s processor, peak RSS %.0f MB (median of %d)\n",
                label, last.pairs, last.differences, bench::medianOf(walls), bench::medianOf(processors),
                bench::medianOf(peaks) / 1048576, runs);
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? argv[1] : fs::temp_directory_path();
    fs::create_directories(folder);
    results::WorkbookFiles files{folder / "all-sheets-a.xlsx", folder / "all-sheets-b.xlsx"};
    writeWorkbook(files.left, false);
    writeWorkbook(files.right, true);
    std::printf("Two workbooks of %d sheets of %d rows x %d columns (%.0f MB and %.0f MB)\n", sheetCount, rowCount,
                columnCount, static_cast<double>(fs::file_size(files.left)) / 1048576,
                static_cast<double>(fs::file_size(files.right)) / 1048576);
    report("one pair alone:", files, 1);
    report("all sheets, pair by pair:", files, 0);
    return 0;
}
