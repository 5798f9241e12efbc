// Times the result index, a search over it and the report, on 100,000 generated differences of
// records with 12 columns each side (60% changed, 20% only in File A, 20% only in File B).
//
// Usage: bench_results [data folder]   (the differences are generated in memory; the folder is unused)

#include "results/ComparisonReport.h"
#include "results/ResultIndex.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rowlark;

constexpr std::size_t differenceCount = 100'000;
constexpr std::size_t columnCount = 12;
constexpr int runs = 7;

constexpr std::array<std::string_view, 12> firstNames{"Anna",  "Bruno", "Chloé", "Dmitri", "Emeka", "Fatima",
                                                      "Giulia", "Hiro",  "Ines",  "Jonas",  "Kofi",  "Leila"};
constexpr std::array<std::string_view, 12> lastNames{"Smith",  "Johansson", "García", "Nakamura", "Okafor", "Müller",
                                                     "Rossi",  "Dubois",    "Novak",  "Andersen", "Silva",  "Kowalski"};
constexpr std::array<std::string_view, 8> cities{"Berlin", "Lagos", "Osaka", "Lyon", "Porto", "Kraków", "Austin", "Oslo"};
constexpr std::array<std::string_view, 4> statuses{"active", "closed", "pending", "review"};

std::vector<std::string> headers()
{
    return {"Customer ID", "First Name", "Last Name", "Email",  "Phone",   "City",
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

ComparisonSummary generatedSummary()
{
    std::mt19937_64 random(20240611);
    const std::vector<std::string> names = headers();
    ComparisonSummary summary;
    summary.differences.reserve(differenceCount);
    for (std::size_t i = 0; i < differenceCount; ++i) {
        RowDifference difference;
        difference.id = Uuid::random();
        difference.key = std::to_string(100000 + i);
        const std::size_t kind = random() % 10;
        if (kind < 6) {
            difference.status = DiffStatus::changed;
            difference.leftRow = record(i, random);
            difference.rightRow = *difference.leftRow;
            for (const std::size_t column : {5, 9}) {
                (*difference.rightRow)[column] += " (new)";
                difference.cells.push_back({Uuid::random(), names[column], names[column],
                                            (*difference.leftRow)[column], (*difference.rightRow)[column]});
            }
        } else if (kind < 8) {
            difference.status = DiffStatus::onlyLeft;
            difference.leftRow = record(i, random);
        } else {
            difference.status = DiffStatus::onlyRight;
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
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

}  // namespace

int main()
{
    const ComparisonSummary summary = generatedSummary();
    std::printf("%zu differences, %zu columns each side, median of %d runs\n", summary.differences.size(),
                columnCount, runs);

    ResultIndex index;
    const double indexSeconds = medianSeconds([&] { index = ResultIndex(summary); });
    std::printf("index:                      %8.1f ms\n", indexSeconds * 1000);

    std::size_t found = 0;
    const double searchSeconds = medianSeconds([&] { found = index.matching(ResultFilter::all, "son").size(); });
    std::printf("matching(all, \"son\"):       %8.1f ms  (%zu found; target <= 50 ms)\n", searchSeconds * 1000, found);
    const double absentSeconds = medianSeconds([&] { found = index.matching(ResultFilter::all, "qzx").size(); });
    std::printf("matching(all, \"qzx\"):       %8.1f ms  (%zu found)\n", absentSeconds * 1000, found);

    const std::vector<std::size_t>& all = index.positions(ResultFilter::all);
    std::size_t bytes = 0;
    const double reportSeconds = medianSeconds([&] {
        bytes = ComparisonReport::csv(summary, "before.csv", "after.csv", headers(), headers(), all).size();
    });
    std::printf("report of every difference: %8.1f ms  (%.1f MB; target <= 1000 ms)\n", reportSeconds * 1000,
                static_cast<double>(bytes) / 1e6);
    return 0;
}
