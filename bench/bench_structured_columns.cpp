// Times Table::expandingStructuredColumns alone on the generated 1,000,000-row customer table
// with a JSON address column, and on the plain table (where every column is rejected cell by cell
// on its first character). The tables are parsed once; each expansion is timed separately, in
// wall-clock time and in the process's CPU time (which stays meaningful on a busy machine).
//
// Usage: bench_structured_columns <data folder>   (generated files are kept there and reused)

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/table/Table.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace rowlark;

constexpr std::size_t rowCount = 1'000'000;
constexpr int runs = 5;
constexpr double megabyte = 1024.0 * 1024.0;

struct Timing {
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

table::Table parsedFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return table::Table::parse(std::move(text).str());
}

std::size_t cellBytes(const table::Table& table)
{
    std::size_t bytes = 0;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        for (std::size_t column = 0; column < table.columnCount(); ++column)
            bytes += table.cell(row, column).size();
    return bytes;
}

Timing expandOnce(const table::Table& table, std::size_t& derivedColumns)
{
    const double cpuStart = bench::processorSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    const table::Table expanded = table.expandingStructuredColumns();
    Timing timing;
    timing.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    timing.cpuSeconds = bench::processorSeconds() - cpuStart;
    derivedColumns = static_cast<std::size_t>(expanded.derivedColumnCount());
    return timing;
}

void measure(const char* title, const std::filesystem::path& path)
{
    const table::Table table = parsedFile(path);
    const double bytes = static_cast<double>(cellBytes(table));
    std::vector<double> wall;
    std::vector<double> cpu;
    std::size_t derivedColumns = 0;
    for (int run = 0; run < runs; ++run) {
        const Timing timing = expandOnce(table, derivedColumns);
        wall.push_back(timing.wallSeconds);
        cpu.push_back(timing.cpuSeconds);
    }
    std::printf("%s\n  %zu rows x %zu columns, %.1f MB of cell text, %zu derived columns\n", title, table.rowCount(),
                table.columnCount(), bytes / megabyte, derivedColumns);
    std::printf("  expansion, median of %d: wall %.3f s, CPU %.3f s = %.0f MB/s of cell text (CPU)\n", runs,
                bench::medianOf(wall), bench::medianOf(cpu), bytes / megabyte / bench::medianOf(cpu));
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    std::printf("Generating (or reusing) %zu-row customer tables in %s\n\n", rowCount, folder.c_str());
    measure("Plain customer table", bench::writeCustomerFile(folder, rowCount));
    std::printf("\n");
    measure("Customer table with a JSON address column",
            bench::writeCustomerFile(folder, rowCount, bench::CustomerColumns::withAddressObject));
    return 0;
}
