// Times the difference of two values that the inspector marks in a changed field, on pairs of values
// of 1 MB each: equal values, one edit in the middle (of words, of single letters, of flags and
// accented letters), edits at both ends, unrelated values, one word a megabyte long, and a differing
// middle just inside the bound of the search (of words and of non-ASCII characters), the slowest case
// by design. The figure that counts is the slowest of the runs; the inspector runs this on the interface thread,
// which must never be kept busy for more than 50 ms.
//
// Usage: bench_value_diff

#include "engine/text/TextDifference.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rowlark;
using Clock = std::chrono::steady_clock;

constexpr std::size_t valueBytes = 1'000'000;
constexpr int runs = 9;
constexpr double stallLimitMilliseconds = 50;

// Text of `bytes` bytes or a little more, repeating pieces drawn from `pieces`.
std::string repeated(std::size_t bytes, const std::vector<std::string_view>& pieces, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < bytes)
        text += pieces[random() % pieces.size()];
    return text;
}

std::string replacedAt(std::string text, std::size_t at, std::string_view by)
{
    return text.replace(at, by.size(), by);
}

// `around` with its middle `middle` bytes replaced by `inside`.
std::string withMiddle(const std::string& around, std::size_t middle, const std::string& inside)
{
    const std::size_t start = (around.size() - middle) / 2;
    return around.substr(0, start) + inside.substr(0, middle) + around.substr(start + middle);
}

struct Pair {
    const char* name;
    std::string left;
    std::string right;
};

std::vector<Pair> pairs()
{
    const std::vector<std::string_view> words{"lorem ", "ipsum ", "dolor ", "sit ", "amet, ", "consectetur "};
    const std::vector<std::string_view> flags{"\U0001F1E9\U0001F1EA", "\u00E9", "\U0001F469\u200D\U0001F4BB", "a"};
    const std::vector<std::string_view> letters{"a", "b", "c", "d"};
    const std::vector<std::string_view> accented{"\u00E9", "e\u0301", "\u05E9", "\u0644\u064F", "x"};
    const std::string prose = repeated(valueBytes, words, 1);
    const std::string symbols = repeated(valueBytes, flags, 2);
    const std::string single(valueBytes, 'q');
    const std::size_t half = valueBytes / 2;
    const std::size_t bound = text::textDifferenceBounds::maximumMiddleBytes - 64;
    return {
        {"equal words", prose, prose},
        {"one word edited in the middle", prose, replacedAt(prose, prose.find(' ', half) + 1, "XX")},
        {"one letter edited in the middle", single, replacedAt(single, half, "x")},
        {"one flag edited in the middle", symbols, replacedAt(symbols, symbols.find("\U0001F1E9", half), "\U0001F1EB")},
        {"edits at both ends", prose, replacedAt(replacedAt(prose, 0, "X"), prose.size() - 1, "X")},
        {"unrelated values", repeated(valueBytes, letters, 3), repeated(valueBytes, letters, 4)},
        {"one word of a megabyte", single + " end", single.substr(1) + "x end"},
        {"differing words up to the bound", prose, withMiddle(prose, bound, repeated(bound, words, 5))},
        {"differing letters up to the bound", single, withMiddle(single, bound, repeated(bound, letters, 6))},
        {"differing accented text up to the bound", repeated(valueBytes, accented, 7),
         withMiddle(repeated(valueBytes, accented, 7), bound, repeated(bound, accented, 8))},
    };
}

struct Times {
    double median = 0;
    double slowest = 0;
};

Times timesOf(const std::function<void()>& work)
{
    std::vector<double> milliseconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        work();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::ranges::sort(milliseconds);
    return {milliseconds[milliseconds.size() / 2], milliseconds.back()};
}

}  // namespace

int main()
{
    std::printf("Differences of two 1 MB values, median and slowest of %d runs:\n", runs);
    double worst = 0;
    for (const Pair& pair : pairs()) {
        std::size_t marked = 0;
        const Times times = timesOf([&] {
            const text::TextDifference difference = text::textDifference(pair.left, pair.right);
            marked = 0;
            for (const auto* spans : {&difference.left, &difference.right})
                for (const text::TextSpan& span : *spans)
                    marked += span.end - span.begin;
        });
        std::printf("  %-42s %8.2f ms %8.2f ms  (%zu bytes marked)\n", pair.name, times.median, times.slowest, marked);
        worst = std::max(worst, times.slowest);
    }
    std::printf("Worst: %.2f ms (limit %.0f ms)\n", worst, stallLimitMilliseconds);
    return worst < stallLimitMilliseconds ? 0 : 1;
}
