// Times the result index, a search over it and the report, on 100,000 generated differences of
// records with 12 columns each side (60% changed, 20% only in File A, 20% only in File B). Then
// runs the built rowlark-compare end to end (load both files, analyse, compare, index, key
// diagnostics, no report) on the comparison benchmark's files, 1,000,000 × 12 columns each side,
// and reports its wall time and peak memory.
//
// Usage: bench_results <data folder>   (generated files are kept there and reused)

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/results/ComparisonReport.h"
#include "engine/results/ResultIndex.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace rowlark;

constexpr std::size_t differenceCount = 100'000;
constexpr std::size_t columnCount = 12;
constexpr int runs = 7;
constexpr std::size_t endToEndRows = 1'000'000;
constexpr int endToEndRuns = 3;

constexpr std::array<std::string_view, 12> firstNames{"Anna",   "Bruno", "Chloé", "Dmitri", "Emeka", "Fatima",
                                                      "Giulia", "Hiro",  "Ines",  "Jonas",  "Kofi",  "Leila"};
constexpr std::array<std::string_view, 12> lastNames{"Smith", "Johansson", "García", "Nakamura", "Okafor", "Müller",
                                                     "Rossi", "Dubois",    "Novak",  "Andersen", "Silva",  "Kowalski"};
constexpr std::array<std::string_view, 8> cities{"Berlin", "Lagos",  "Osaka",  "Lyon",
                                                 "Porto",  "Kraków", "Austin", "Oslo"};
constexpr std::array<std::string_view, 4> statuses{"active", "closed", "pending", "review"};

std::vector<std::string> headers()
{
    return {"Customer ID", "First Name", "Last Name", "Email",  "Phone",     "City",
            "Country",     "Balance",    "Created",   "Status", "Is Active", "Notes"};
}

std::vector<std::string> record(std::size_t id, std::mt19937_64& random)
{
    const auto pick = [&](const auto& list) { return std::string(list[random() % list.size()]); };
    const std::string first = pick(firstNames);
    const std::string last = pick(lastNames);
    return {std::to_string(100000 + id),
            first,
            last,
            first + "." + std::to_string(id) + "@example.org",
            "+1 555 " + std::to_string(1000000 + random() % 9000000),
            pick(cities),
            "United States",
            std::to_string(random() % 100000) + "." + std::to_string(10 + random() % 90),
            "2023-" + std::to_string(1 + random() % 12) + "-" + std::to_string(1 + random() % 28),
            pick(statuses),
            random() % 2 ? "yes" : "no",
            "Order " + std::to_string(random() % 1000000) + ", shipped"};
}

records::ComparisonSummary generatedSummary()
{
    std::mt19937_64 random(20240611);
    const std::vector<std::string> names = headers();
    records::ComparisonSummary summary;
    summary.differences.reserve(differenceCount);
    for (std::size_t i = 0; i < differenceCount; ++i) {
        records::RowDifference difference;
        difference.id = records::UUID::random();
        difference.key = std::to_string(100000 + i);
        const std::size_t kind = random() % 10;
        if (kind < 6) {
            difference.status = records::DiffStatus::changed;
            difference.leftRow = record(i, random);
            difference.rightRow = *difference.leftRow;
            for (const std::size_t column : {5, 9}) {
                (*difference.rightRow)[column] += " (new)";
                difference.cells.push_back({records::UUID::random(), names[column], names[column],
                                            (*difference.leftRow)[column], (*difference.rightRow)[column]});
            }
        } else if (kind < 8) {
            difference.status = records::DiffStatus::onlyLeft;
            difference.leftRow = record(i, random);
        } else {
            difference.status = records::DiffStatus::onlyRight;
            difference.rightRow = record(i, random);
        }
        summary.differences.push_back(std::move(difference));
    }
    return summary;
}

template<typename Work> double medianSeconds(Work&& work)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return bench::medianOf(std::move(seconds));
}

struct ProgramRun {
    double seconds = 0;
    double processorSeconds = 0;  // user and system time of all its threads
    double peakMegabytes = 0;
    int status = -1;
};

// The command built beside this benchmark: <build>/bench/bench_results and <build>/cli/rowlark-compare.
std::filesystem::path comparisonProgram()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "cli" / "rowlark-compare";
}

// Runs the program with its output discarded; the peak is the child's maximum resident size.
std::optional<ProgramRun> runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return std::nullopt;
    ProgramRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto toSeconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    run.processorSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void measureEndToEnd(const std::filesystem::path& folder)
{
    const std::filesystem::path program = comparisonProgram();
    if (!std::filesystem::exists(program)) {
        std::printf("end to end: skipped, %s is not built\n", program.c_str());
        return;
    }
    const bench::ComparisonFiles files = bench::writeComparisonFiles(folder, endToEndRows);
    const double inputMegabytes =
        static_cast<double>(std::filesystem::file_size(files.left) + std::filesystem::file_size(files.right)) / 1e6;
    std::vector<double> seconds;
    std::vector<double> processorSeconds;
    std::vector<double> peaks;
    for (int run = 0; run < endToEndRuns; ++run) {
        const auto measured = runProgram(program, {files.left.string(), files.right.string()});
        // Exit status 1: differences found, as the generated files have them.
        if (!measured || measured->status != 1) {
            std::printf("end to end: rowlark-compare failed\n");
            return;
        }
        seconds.push_back(measured->seconds);
        processorSeconds.push_back(measured->processorSeconds);
        peaks.push_back(measured->peakMegabytes);
    }
    std::printf("end to end, rowlark-compare on %zu + %zu rows (%.0f MB of CSV), median of %d runs:\n", files.leftRows,
                files.rightRows, inputMegabytes, endToEndRuns);
    std::printf("  wall %.2f s (target <= 2.5 s), processor time %.2f s, peak memory %.0f MB (%.1f× the files; "
                "target <= 3×)\n",
                bench::medianOf(seconds), bench::medianOf(processorSeconds), bench::medianOf(peaks),
                bench::medianOf(peaks) / inputMegabytes);
}

}  // namespace

int main(int argc, char** argv)
{
    const records::ComparisonSummary summary = generatedSummary();
    std::printf("%zu differences, %zu columns each side, median of %d runs\n", summary.differences.size(), columnCount,
                runs);

    results::ResultIndex index;
    const double indexSeconds = medianSeconds([&] { index = results::ResultIndex(summary); });
    std::printf("index:                      %8.1f ms\n", indexSeconds * 1000);

    std::size_t found = 0;
    const double searchSeconds =
        medianSeconds([&] { found = index.matching(records::ResultFilter::all, "son").size(); });
    std::printf("matching(all, \"son\"):       %8.1f ms  (%zu found; target <= 50 ms)\n", searchSeconds * 1000, found);
    const double absentSeconds =
        medianSeconds([&] { found = index.matching(records::ResultFilter::all, "qzx").size(); });
    std::printf("matching(all, \"qzx\"):       %8.1f ms  (%zu found)\n", absentSeconds * 1000, found);

    const std::vector<std::size_t>& all = index.positions(records::ResultFilter::all);
    std::size_t bytes = 0;
    const double reportSeconds = medianSeconds([&] {
        bytes = results::ComparisonReport::csv(summary, "before.csv", "after.csv", headers(), headers(), all).size();
    });
    std::printf("report of every difference: %8.1f ms  (%.1f MB; target <= 1000 ms)\n", reportSeconds * 1000,
                static_cast<double>(bytes) / 1e6);

    if (argc > 1)
        measureEndToEnd(argv[1]);
    return 0;
}
