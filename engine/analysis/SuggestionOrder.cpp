#include "analysis/SuggestionOrder.h"

#include "text/Unicode.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace rowlark::analysis::CSVComparator {
namespace {

constexpr double tieBand = 0.0001;

std::size_t rankOf(const records::HeaderSuggestion& suggestion, const std::vector<std::size_t>& headerRanks)
{
    const auto index = suggestion.rightIndex;
    return index >= 0 && static_cast<std::size_t>(index) < headerRanks.size()
               ? headerRanks[static_cast<std::size_t>(index)]
               : headerRanks.size();
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

void orderSuggestions(std::vector<records::HeaderSuggestion>& suggestions, const std::vector<std::size_t>& headerRanks)
{
    std::stable_sort(
        suggestions.begin(), suggestions.end(),
        [](const records::HeaderSuggestion& a, const records::HeaderSuggestion& b) { return a.score > b.score; });
    const auto byHeaderText = [&](const records::HeaderSuggestion& a, const records::HeaderSuggestion& b) {
        return std::tuple(rankOf(a, headerRanks), a.rightIndex) < std::tuple(rankOf(b, headerRanks), b.rightIndex);
    };
    for (auto runStart = suggestions.begin(); runStart != suggestions.end();) {
        auto runEnd = std::next(runStart);
        while (runEnd != suggestions.end() && std::prev(runEnd)->score - runEnd->score <= tieBand)
            ++runEnd;
        std::stable_sort(runStart, runEnd, byHeaderText);
        runStart = runEnd;
    }
}

void orderSuggestions(std::vector<records::HeaderSuggestion>& suggestions, const std::vector<std::string>& rightHeaders)
{
    orderSuggestions(suggestions, headerTextRanks(rightHeaders));
}

}  // namespace rowlark::analysis::CSVComparator
