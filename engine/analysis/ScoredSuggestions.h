#pragma once

// Both halves of suggestion scoring together: header matches strengthened or replaced by shared
// values and compatible kinds of data.

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/analysis/ColumnProfile.h"
#include "engine/analysis/HeaderCatalog.h"
#include "engine/analysis/HeaderSuggestions.h"
#include "engine/analysis/SharedValues.h"
#include "engine/records/Mapping.h"

namespace rowlark::analysis {

// Every right column that reaches the cut-off, ordered, not truncated. A right header without a
// profile (the list is too short) is scored as an empty column.
std::vector<records::HeaderSuggestion> scoredSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const ColumnProfile& leftProfile,
                                                         const std::vector<ColumnProfile>& rightProfiles,
                                                         const std::optional<std::string>& preferredPrefix);

// Two tables prepared once for scoring every left column against every right column.
struct ScoringTables {
    const HeaderCatalog& headers;
    const std::vector<ColumnProfile>& leftProfiles;
    const std::vector<ColumnProfile>& rightProfiles;  // one per right header
    const SharedValueIndex& sharedValues;
    const std::vector<std::size_t>& rightHeaderRanks;
    // A left column is offered only the right columns whose flag equals its own.
    const std::vector<bool>& leftFlags;
    const std::vector<bool>& rightFlags;
    // Called between stretches of pairs; it stops the scoring by throwing.
    const std::function<void()>& checkpoint;
};

// Scores one left column after another against every right column, with scratch sized once.
// It keeps the header matches of the last left header shape for the next column of that shape,
// so one scorer per thread should take the left columns grouped by shape.
class ColumnScorer {
public:
    static constexpr std::size_t unlimited = std::numeric_limits<std::size_t>::max();

    explicit ColumnScorer(const ScoringTables& tables);

    // The first `limit` suggestions for the left column, ordered.
    std::vector<records::HeaderSuggestion>
    suggestions(std::size_t leftColumn, const std::optional<std::string>& preferredPrefix, std::size_t limit);

private:
    void matchHeadersOf(std::uint32_t leftShape);
    void collectCandidates(std::size_t leftColumn, const std::optional<std::string>& preferredPrefix);

    const ScoringTables tables_;
    std::vector<std::uint64_t> headerSymbols_;
    std::vector<std::uint64_t> fieldSymbols_;
    std::optional<std::uint32_t> matchedShape_;
    std::vector<HeaderMatch> matches_;  // one per distinct right shape
    SharedValueCounts sharedValues_;
    std::vector<Candidate> candidates_;
};

}  // namespace rowlark::analysis
