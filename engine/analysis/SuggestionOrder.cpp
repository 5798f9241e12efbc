#include "engine/analysis/SuggestionOrder.h"

#include "engine/text/Unicode.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace rowlark::analysis {
namespace {

constexpr double tieBand = 0.0001;

bool isTied(double higher, double lower)
{
    return higher - lower <= tieBand;
}

bool byScore(const Candidate& a, const Candidate& b)
{
    return a.score > b.score;
}

// Cuts `candidates` after the run of the `limit`-th best offered one, unordered, when more than
// `limit` are offered.
void dropPastLastRun(std::vector<Candidate>& candidates, std::size_t limit)
{
    std::vector<double> offered;
    for (const Candidate& candidate : candidates)
        if (candidate.isOffered)
            offered.push_back(candidate.score);
    if (offered.size() <= limit)
        return;
    const auto last = offered.begin() + static_cast<std::ptrdiff_t>(limit - 1);
    std::nth_element(offered.begin(), last, offered.end(), std::greater<>());
    const double lowest = *last;
    auto headEnd = std::partition(candidates.begin(), candidates.end(),
                                  [&](const Candidate& candidate) { return candidate.score >= lowest; });
    // The run of the lowest kept score may go on below it, one score within the band of the next
    // higher one at a time, however far: then the rest is sorted once and followed to its end.
    if (std::none_of(headEnd, candidates.end(),
                     [&](const Candidate& candidate) { return isTied(lowest, candidate.score); })) {
        candidates.erase(headEnd, candidates.end());
        return;
    }
    std::sort(headEnd, candidates.end(), byScore);
    for (double previous = lowest; headEnd != candidates.end() && isTied(previous, headEnd->score); ++headEnd)
        previous = headEnd->score;
    candidates.erase(headEnd, candidates.end());
}

}  // namespace

std::vector<std::size_t> headerTextRanks(const std::vector<std::string>& headers)
{
    std::vector<std::string> composed;
    composed.reserve(headers.size());
    for (const auto& header : headers)
        composed.push_back(text::nfc(header));
    std::vector<std::size_t> byText(headers.size());
    std::iota(byText.begin(), byText.end(), std::size_t{0});
    // UTF-8 byte order is scalar order.
    std::stable_sort(byText.begin(), byText.end(),
                     [&](std::size_t a, std::size_t b) { return composed[a] < composed[b]; });
    std::vector<std::size_t> ranks(headers.size());
    for (std::size_t position = 0; position < byText.size(); ++position) {
        const bool sharesText = position > 0 && composed[byText[position]] == composed[byText[position - 1]];
        ranks[byText[position]] = sharesText ? ranks[byText[position - 1]] : position;
    }
    return ranks;
}

void orderCandidates(std::vector<Candidate>& candidates, const std::vector<std::size_t>& headerRanks)
{
    std::sort(candidates.begin(), candidates.end(), byScore);
    // Within a run the order is total, so how the sort above placed equal scores does not matter.
    const auto byHeaderText = [&](const Candidate& a, const Candidate& b) {
        return std::tuple(headerRanks[a.column], a.column) < std::tuple(headerRanks[b.column], b.column);
    };
    for (auto runStart = candidates.begin(); runStart != candidates.end();) {
        auto runEnd = std::next(runStart);
        while (runEnd != candidates.end() && isTied(std::prev(runEnd)->score, runEnd->score))
            ++runEnd;
        std::sort(runStart, runEnd, byHeaderText);
        runStart = runEnd;
    }
}

void keepBest(std::vector<Candidate>& candidates, const std::vector<std::size_t>& headerRanks, std::size_t limit)
{
    dropPastLastRun(candidates, limit);
    orderCandidates(candidates, headerRanks);
    std::erase_if(candidates, [](const Candidate& candidate) { return !candidate.isOffered; });
    candidates.resize(std::min(candidates.size(), limit));
}

}  // namespace rowlark::analysis
