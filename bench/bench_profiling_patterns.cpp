// Times the profiling patterns on their worst-case values at growing sizes. Each pattern must be
// decided in time linear in the value's length: the figure per megabyte stays flat as the size grows.
//
// Usage: bench_profiling_patterns [data folder]   (the values are made in memory; the folder is unused)

#include "engine/analysis/ValueTests.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rowlark::analysis;

constexpr int runs = 7;

struct WorstCase {
    const char* name;
    bool (*test)(std::string_view);
    std::string_view prefix;
    std::string_view piece;
    std::string_view suffix;
};

constexpr std::array<WorstCase, 9> worstCases{{
    {"e-mail, dotted domain ending in @", isEmailAddress, "a@", "a.", "@"},
    {"e-mail, at signs", isEmailAddress, "", "@", ""},
    {"identifier", isIdentifier, "", "a-", ""},
    {"web address", isWebAddress, "www.", "w", ""},
    {"date, long time part", isDate, "2024-01-05 ", "x", ""},
    {"date, second line", isDate, "2024-01-05 ", "x", "\ny"},
    {"date, short dates", isDate, "", "1/1/1", ""},
    {"date, digits", isDate, "", "1", ""},
    {"phone, separators", isPhoneNumber, "", "-", ""},
}};

std::string valueOf(const WorstCase& worstCase, std::size_t size)
{
    std::string value(worstCase.prefix);
    while (value.size() < size)
        value += worstCase.piece;
    return value += worstCase.suffix;
}

double medianSeconds(const WorstCase& worstCase, const std::string& value)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        [[maybe_unused]] volatile bool decided = worstCase.test(value);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
    return seconds[runs / 2];
}

}  // namespace

int main()
{
    std::printf("%-36s %14s %14s %14s\n", "pattern (median of 7, ms)", "50 KB", "200 KB", "1 MB");
    for (const WorstCase& worstCase : worstCases) {
        std::printf("%-36s", worstCase.name);
        for (const std::size_t size : {50'000u, 200'000u, 1'000'000u})
            std::printf(" %14.3f", 1000 * medianSeconds(worstCase, valueOf(worstCase, size)));
        std::printf("\n");
    }
    return 0;
}
