#pragma once

// The header half of suggestion scoring: how well a right header matches a left header by
// exact equality, the alias table, entity prefixes, namespace prefixes or edit distance.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/analysis/Candidate.h"
#include "engine/analysis/EditDistance.h"
#include "engine/analysis/HeaderCatalog.h"
#include "engine/records/Mapping.h"

namespace rowlark::analysis {

// Every right header that matches the left one well enough, ordered, not truncated.
// `preferredPrefix` is a prefix the right headers are expected to carry; a match through it
// scores higher and reads "Learned pattern".
std::vector<records::HeaderSuggestion> headerSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const std::optional<std::string>& preferredPrefix);

struct HeaderScore {
    double score = 0;
    Reason reason = Reason::exact;
};

// Which rule relates two header shapes, worked out once and scored for any preferred prefix.
struct HeaderMatch {
    enum class Rule : std::uint8_t { none, exact, alias, namespacePrefix, similarName };
    Rule rule = Rule::none;
    double similarNameScore = 0;  // for similarName, already past the cut-off
};

// Matches one left shape against any number of right ones, its texts prepared once for the edit
// distances. The two scratch tables are those PatternDistance asks for, one per left text.
class HeaderMatcher {
public:
    HeaderMatcher(const HeaderShape& left, std::vector<std::uint64_t>& headerSymbols,
                  std::vector<std::uint64_t>& fieldSymbols);

    HeaderMatch match(const HeaderShape& right) const;

private:
    double similarNameScore(const HeaderShape& right) const;

    const HeaderShape& left_;
    PatternDistance header_;
    std::optional<PatternDistance> field_;  // when the canonical field is not the header itself
};

// The score of one pair of header shapes, or nothing when the pair falls below the cut-off or
// either header normalizes to nothing.
std::optional<HeaderScore> headerScore(const HeaderMatch& match, const HeaderTerms& left, const HeaderTerms& right,
                                       const std::optional<std::string>& preferredPrefix);

// The text of a candidate's reason for the pair of headers it was scored on.
std::string reasonText(const Candidate& candidate, const HeaderTerms& left, const HeaderTerms& right);

}  // namespace rowlark::analysis
