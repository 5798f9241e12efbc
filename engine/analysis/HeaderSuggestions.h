#pragma once

// The header half of suggestion scoring: how well a right header matches a left header by
// exact equality, the alias table, entity prefixes, namespace prefixes or edit distance.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/HeaderTerms.h"
#include "records/Mapping.h"

namespace rowlark::analysis::CSVComparator {

// Every right header that matches the left one well enough, ordered, not truncated.
// `preferredPrefix` is a prefix the right headers are expected to carry; a match through it
// scores higher and reads "Learned pattern".
std::vector<records::HeaderSuggestion> headerSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const std::optional<std::string>& preferredPrefix);

struct HeaderScore {
    double score = 0;
    std::string reason;
};

// Which rule relates two split headers, worked out once and scored for any preferred prefix.
struct HeaderMatch {
    enum class Rule { none, exact, alias, namespacePrefix, similarName };
    Rule rule = Rule::none;
    double similarNameScore = 0;  // for similarName, already past the cut-off
    std::string namespacePrefix;  // for namespacePrefix
};

HeaderMatch matchHeaders(const HeaderTerms& left, const HeaderTerms& right);

// The score of one pair of split headers, or nothing when the pair falls below the cut-off or
// either header normalizes to nothing.
std::optional<HeaderScore> headerScore(const HeaderMatch& match, const HeaderTerms& left, const HeaderTerms& right,
                                       const std::optional<std::string>& preferredPrefix);

}  // namespace rowlark::analysis::CSVComparator
