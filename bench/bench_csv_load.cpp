// Times Table::load (reading, decoding, parsing and the JSON-column expansion) on a generated
// customer table of 1,000,000 rows × 12 columns (about 130 MB), once as plain text and once with
// an address column holding JSON objects. Each run happens in a child process of its own, so that
// its resident and peak memory are its own: the figures are the table's memory as it reports it,
// the resident-set growth the load leaves behind, and the peak resident-set growth during the load.
// Processor time is printed beside the wall-clock time because a busy machine stretches the latter.
//
// Usage: bench_csv_load <data folder>   (generated files are kept there and reused)

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/table/Table.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace rowlark;

constexpr std::size_t rowCount = 1'000'000;
constexpr int runs = 5;
constexpr double megabyte = 1024.0 * 1024.0;

struct Measurement {
    double seconds = 0;
    double processorSeconds = 0;  // user and system time of the load
    double tableBytes = 0;
    double residentGrowth = 0;
    double peakGrowth = 0;
    std::size_t rows = 0;
    std::size_t columns = 0;
    bool isPeakReset = false;
};

Measurement loadOnce(const std::filesystem::path& path)
{
    Measurement measurement;
    measurement.isPeakReset = bench::resetPeakResidentSize();
    const double residentBefore = bench::statusBytes("VmRSS");
    const double processorStart = bench::processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const table::Table table = table::Table::load(path);
    measurement.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measurement.processorSeconds = bench::processorSeconds() - processorStart;
    measurement.tableBytes = static_cast<double>(table.memoryUsage());
    measurement.residentGrowth = bench::statusBytes("VmRSS") - residentBefore;
    measurement.peakGrowth = bench::statusBytes("VmHWM") - residentBefore;
    measurement.rows = table.rowCount();
    measurement.columns = table.columnCount();
    return measurement;
}

Measurement loadInChild(const std::filesystem::path& path)
{
    return bench::measureInChild([&] {
        try {
            return loadOnce(path);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "load failed: %s\n", error.what());
            ::_exit(1);
        }
    });
}

void measure(const char* title, const std::filesystem::path& path)
{
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    std::vector<Measurement> measurements;
    for (int run = 0; run < runs; ++run)
        measurements.push_back(loadInChild(path));
    const auto median = [&](double Measurement::*field) {
        std::vector<double> values;
        for (const auto& measurement : measurements)
            values.push_back(measurement.*field);
        return bench::medianOf(values);
    };
    const double seconds = median(&Measurement::seconds);
    const Measurement& first = measurements.front();
    std::printf("%s\n  file %s\n  %.1f MB, %zu rows x %zu columns after loading\n", title, path.c_str(),
                fileBytes / megabyte, first.rows, first.columns);
    const double processor = median(&Measurement::processorSeconds);
    std::printf("  load times (s):");
    for (const auto& measurement : measurements)
        std::printf(" %.3f", measurement.seconds);
    std::printf("\n  median %.3f s wall clock = %.0f MB/s\n", seconds, fileBytes / megabyte / seconds);
    std::printf("  median %.3f s processor time (user + system) = %.0f MB/s\n", processor,
                fileBytes / megabyte / processor);
    const auto printMemory = [&](const char* label, double bytes) {
        std::printf("  %-34s %8.1f MB = %.2f x file size\n", label, bytes / megabyte, bytes / fileBytes);
    };
    printMemory("table memory (memoryUsage):", median(&Measurement::tableBytes));
    printMemory("resident growth after load:", median(&Measurement::residentGrowth));
    printMemory("peak resident growth during load:", median(&Measurement::peakGrowth));
    if (!first.isPeakReset)
        std::printf("  (peak could not be reset; it includes the parent's own peak)\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    std::printf("Generating (or reusing) %zu-row customer tables in %s\n", rowCount, folder.c_str());
    const auto plain = bench::writeCustomerFile(folder, rowCount);
    const auto withAddress = bench::writeCustomerFile(folder, rowCount, bench::CustomerColumns::withAddressObject);
    std::printf("Table::load, median of %d runs, each in a fresh process\n\n", runs);
    measure("Plain customer table", plain);
    std::printf("\n");
    measure("Customer table with a JSON address column (includes the expansion)", withAddress);
    return 0;
}
