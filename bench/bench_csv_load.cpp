// Times CSVTable::load (reading, decoding, parsing and the JSON-column expansion) on a generated
// customer table of 1,000,000 rows × 12 columns (about 130 MB), once as plain text and once with
// an address column holding JSON objects. Each run happens in a child process of its own, so that
// its resident and peak memory are its own: the figures are the table's memory as it reports it,
// the resident-set growth the load leaves behind, and the peak resident-set growth during the load.
// Processor time is printed beside the wall-clock time because a busy machine stretches the latter.
//
// Usage: bench_csv_load <data folder>   (generated files are kept there and reused)

#include "support/DataGenerator.h"
#include "table/CSVTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace rowlark;

constexpr std::size_t rowCount = 1'000'000;
constexpr int runs = 5;
constexpr double megabyte = 1024.0 * 1024.0;

struct Measurement {
    double seconds = 0;
    double processorSeconds = 0; // user and system time of the load
    double tableBytes = 0;
    double residentGrowth = 0;
    double peakGrowth = 0;
    std::size_t rows = 0;
    std::size_t columns = 0;
    bool isPeakReset = false;
};

// A "VmRSS"-style line of /proc/self/status, in bytes.
double statusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = field + ":";
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(prefix))
            return std::stod(line.substr(prefix.size())) * 1024.0;
    return 0;
}

// Clears the peak resident size inherited from the parent (Linux 4.0 and later).
bool resetPeakResidentSize() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

double processorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Measurement loadOnce(const std::filesystem::path& path) {
    Measurement measurement;
    measurement.isPeakReset = resetPeakResidentSize();
    const double residentBefore = statusBytes("VmRSS");
    const double processorStart = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const CSVTable table = CSVTable::load(path);
    measurement.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measurement.processorSeconds = processorSeconds() - processorStart;
    measurement.tableBytes = static_cast<double>(table.memoryUsage());
    measurement.residentGrowth = statusBytes("VmRSS") - residentBefore;
    measurement.peakGrowth = statusBytes("VmHWM") - residentBefore;
    measurement.rows = table.rowCount();
    measurement.columns = table.columnCount();
    return measurement;
}

Measurement loadInChild(const std::filesystem::path& path) {
    int channel[2];
    if (::pipe(channel) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        try {
            const Measurement measurement = loadOnce(path);
            const bool isSent = ::write(channel[1], &measurement, sizeof measurement) == sizeof measurement;
            ::_exit(isSent ? 0 : 1);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "load failed: %s\n", error.what());
            ::_exit(1);
        }
    }
    ::close(channel[1]);
    Measurement measurement;
    const bool isReceived = ::read(channel[0], &measurement, sizeof measurement) == sizeof measurement;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!isReceived || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the measuring process failed\n");
        std::exit(1);
    }
    return measurement;
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void measure(const char* title, const std::filesystem::path& path) {
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    std::vector<Measurement> measurements;
    for (int run = 0; run < runs; ++run)
        measurements.push_back(loadInChild(path));
    const auto median = [&](double Measurement::*field) {
        std::vector<double> values;
        for (const auto& measurement : measurements)
            values.push_back(measurement.*field);
        return medianOf(values);
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

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    std::printf("Generating (or reusing) %zu-row customer tables in %s\n", rowCount, folder.c_str());
    const auto plain = bench::writeCustomerFile(folder, rowCount);
    const auto withAddress =
        bench::writeCustomerFile(folder, rowCount, bench::CustomerColumns::withAddressObject);
    std::printf("CSVTable::load, median of %d runs, each in a fresh process\n\n", runs);
    measure("Plain customer table", plain);
    std::printf("\n");
    measure("Customer table with a JSON address column (includes the expansion)", withAddress);
    return 0;
}
