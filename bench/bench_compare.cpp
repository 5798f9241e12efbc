// Times one comparison as the application runs it after "Compare files": the records matched and
// both files' keys measured, on generated File A (1,000,000 customer records × 12
// columns, about 130 MB) and File B (the same records shuffled, 1% changed, 0.5% removed, 0.5%
// added, formatting-only noise on about 10%). The id column is the key; every column is compared.
// Both ways are timed: compare::compareWithKeyDiagnostics, which measures the keys the
// comparison has normalized, and compare followed by two standalone KeyDiagnostics.
// Each run happens in a child process, so its peak memory growth is its own. The result counts
// are checked against what the generator changed.
//
// Usage: bench_compare <data folder>   (generated files are kept there and reused)

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/compare/KeyDiagnostics.h"
#include "engine/compare/RecordMatching.h"
#include "engine/table/Parallel.h"
#include "engine/table/Table.h"

namespace {

using namespace rowlark;

constexpr std::size_t rowCount = 1'000'000;
constexpr int runs = 5;
constexpr double megabyte = 1024.0 * 1024.0;

enum class KeyMeasurement { withComparison, standalone };

struct Measurement {
    double compareSeconds = 0;
    double diagnosticsSeconds = 0;
    double processorSeconds = 0;  // of all threads; the machine may be shared, so wall time can exceed it
    double peakGrowth = 0;
    bool isPeakReset = false;
    std::int64_t matching = 0;
    std::int64_t changed = 0;
    std::int64_t onlyLeft = 0;
    std::int64_t onlyRight = 0;
    std::int64_t ambiguousGroups = 0;
    std::size_t warningLength = 0;

    double seconds() const { return compareSeconds + diagnosticsSeconds; }
};

double processorSeconds()
{
    timespec time{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Measurement compareOnce(const table::Table& left, const table::Table& right,
                        const std::vector<records::ColumnMapping>& mappings, unsigned workers,
                        KeyMeasurement keyMeasurement)
{
    Measurement measurement;
    measurement.isPeakReset = bench::resetPeakResidentSize();
    const double residentBefore = bench::statusBytes("VmRSS");
    const double processorStart = processorSeconds();
    auto start = std::chrono::steady_clock::now();
    compare::ComparisonWithKeys result;
    if (keyMeasurement == KeyMeasurement::withComparison) {
        result = compare::compareWithKeyDiagnostics(left, right, mappings, false, workers);
        measurement.compareSeconds = secondsSince(start);
    } else {
        result.summary = compare::compare(left, right, mappings, false, workers);
        measurement.compareSeconds = secondsSince(start);
        start = std::chrono::steady_clock::now();
        result.leftKeys = compare::KeyDiagnostics(left, {0}, false, workers);
        result.rightKeys = compare::KeyDiagnostics(right, {0}, false, workers);
        measurement.diagnosticsSeconds = secondsSince(start);
    }
    measurement.warningLength = keyWarning(result.leftKeys, "File A", result.rightKeys, "File B").size();
    const records::ComparisonSummary& summary = result.summary;
    measurement.processorSeconds = processorSeconds() - processorStart;
    measurement.peakGrowth = bench::statusBytes("VmHWM") - residentBefore;
    measurement.matching = summary.matchingRows;
    measurement.ambiguousGroups = summary.ambiguousDuplicateKeyGroups;
    for (const records::RowDifference& difference : summary.differences) {
        switch (difference.status) {
        case records::DiffStatus::changed:
            ++measurement.changed;
            break;
        case records::DiffStatus::onlyLeft:
            ++measurement.onlyLeft;
            break;
        case records::DiffStatus::onlyRight:
            ++measurement.onlyRight;
            break;
        }
    }
    return measurement;
}

void measure(const table::Table& left, const table::Table& right, unsigned workers, KeyMeasurement keyMeasurement,
             int runCount, double fileBytes, const bench::ComparisonFiles& files)
{
    const auto mappings = bench::everyColumnByIdKey(left.columnCount());
    std::vector<Measurement> measurements;
    for (int run = 0; run < runCount; ++run)
        measurements.push_back(
            bench::measureInChild([&] { return compareOnce(left, right, mappings, workers, keyMeasurement); }));
    const auto median = [&](auto field) {
        std::vector<double> values;
        for (const auto& measurement : measurements)
            values.push_back(field(measurement));
        return bench::medianOf(values);
    };
    const double seconds = median([](const Measurement& m) { return m.seconds(); });
    const unsigned threads = workers == 0 ? table::defaultWorkerCount() : workers;
    std::printf("%u thread%s, %d runs\n  %s (s):", threads, threads == 1 ? "" : "s", runCount,
                keyMeasurement == KeyMeasurement::withComparison ? "compareWithKeyDiagnostics"
                                                                 : "compare + 2 x KeyDiagnostics");
    for (const auto& measurement : measurements)
        std::printf(" %.3f", measurement.seconds());
    std::printf("\n  median %.3f s (compare %.3f s, diagnostics %.3f s) = %.2f million rows/s (both files)\n", seconds,
                median([](const Measurement& m) { return m.compareSeconds; }),
                median([](const Measurement& m) { return m.diagnosticsSeconds; }),
                static_cast<double>(left.rowCount() + right.rowCount()) / seconds / 1e6);
    std::printf("  processor time, all threads: median %.3f s\n",
                median([](const Measurement& m) { return m.processorSeconds; }));
    const double peak = median([](const Measurement& m) { return m.peakGrowth; });
    std::printf("  peak resident growth %.1f MB = %.2f x the two files' size%s\n", peak / megabyte, peak / fileBytes,
                measurements.front().isPeakReset ? "" : " (peak not reset: includes the parent's)");
    const Measurement& result = measurements.front();
    const bool isExpected = result.changed == static_cast<std::int64_t>(files.changed) &&
                            result.onlyLeft == static_cast<std::int64_t>(files.removed) &&
                            result.onlyRight == static_cast<std::int64_t>(files.added);
    std::printf("  result: %lld matching, %lld changed, %lld only in A, %lld only in B, %lld ambiguous groups, "
                "warning %s -> %s\n",
                static_cast<long long>(result.matching), static_cast<long long>(result.changed),
                static_cast<long long>(result.onlyLeft), static_cast<long long>(result.onlyRight),
                static_cast<long long>(result.ambiguousGroups), result.warningLength ? "shown" : "empty",
                isExpected ? "as generated" : "DIFFERS FROM THE GENERATED CHANGES");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    std::printf("Generating (or reusing) %zu-row comparison files in %s\n", rowCount, folder.c_str());
    const bench::ComparisonFiles files = bench::writeComparisonFiles(folder, rowCount);
    const double fileBytes =
        static_cast<double>(std::filesystem::file_size(files.left) + std::filesystem::file_size(files.right));
    const auto start = std::chrono::steady_clock::now();
    const table::Table left = table::Table::load(files.left);
    const table::Table right = table::Table::load(files.right);
    std::printf("Loaded %zu + %zu rows x %zu columns (%.1f MB of files) in %.2f s\n", left.rowCount(), right.rowCount(),
                left.columnCount(), fileBytes / megabyte, secondsSince(start));
    std::printf("Generated: %zu changed, %zu removed, %zu added\n\n", files.changed, files.removed, files.added);
    measure(left, right, 0, KeyMeasurement::withComparison, runs, fileBytes, files);
    std::printf("\n");
    measure(left, right, 0, KeyMeasurement::standalone, 3, fileBytes, files);
    std::printf("\n");
    measure(left, right, 1, KeyMeasurement::withComparison, 3, fileBytes, files);
    return 0;
}
