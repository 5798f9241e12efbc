#pragma once

// Both halves of suggestion scoring together: header matches strengthened or replaced by shared
// values and compatible kinds of data.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ColumnProfile.h"
#include "analysis/HeaderSuggestions.h"
#include "analysis/HeaderTerms.h"
#include "records/Mapping.h"

namespace rowlark::analysis::CSVComparator {

// Every right column that reaches the cut-off, ordered, not truncated. A right header without a
// profile (the list is too short) is scored as an empty column.
std::vector<records::HeaderSuggestion> scoredSuggestions(std::string_view leftHeader,
                                                         const std::vector<std::string>& rightHeaders,
                                                         const ColumnProfile& leftProfile,
                                                         const std::vector<ColumnProfile>& rightProfiles,
                                                         const std::optional<std::string>& preferredPrefix);

// The right side prepared once for scoring many left columns against it.
struct RightColumns {
    std::vector<HeaderTerms> terms;
    std::vector<ColumnProfile> profiles;  // as many as terms
    std::vector<std::size_t> headerRanks;
};

RightColumns prepareRightColumns(const std::vector<std::string>& headers, std::vector<ColumnProfile> profiles);

// One left column with what it has in common with each right column, in right column order.
struct LeftColumn {
    const HeaderTerms& terms;
    const ColumnProfile& profile;
    std::span<const HeaderMatch> headerMatches;
    std::span<const std::uint32_t> sharedValueCounts;
};

std::vector<HeaderMatch> headerMatches(const HeaderTerms& left, const RightColumns& right);

std::vector<records::HeaderSuggestion> scoredSuggestions(const LeftColumn& left, const RightColumns& right,
                                                         const std::optional<std::string>& preferredPrefix);

}  // namespace rowlark::analysis::CSVComparator
