#pragma once

// The order of every suggestion list: strongest first; suggestions whose scores lie within
// 0.0001 of each other count as tied and are ordered by their right header text (Unicode scalar
// order of the NFC form), equal texts in column order.
//
// Ties are settled on runs: after sorting by score, a run is a stretch in which each score lies
// within the band of the one before it. Comparing pairs by the band alone would not be transitive
// (0.9, 0.90008 and 0.90016 would each tie with a neighbour but not with each other), which is no
// valid sort order.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/analysis/Candidate.h"

namespace rowlark::analysis {

// Position of each header in NFC scalar order; equal texts share a position.
std::vector<std::size_t> headerTextRanks(const std::vector<std::string>& headers);

void orderCandidates(std::vector<Candidate>& candidates, const std::vector<std::size_t>& headerRanks);

// Leaves the first `limit` offered candidates of the order above, in that order. Only the head
// of a long list is ordered: the candidates down to the end of the run that holds the last one
// kept, since the runs, and so the order, depend on every candidate, offered or not.
void keepBest(std::vector<Candidate>& candidates, const std::vector<std::size_t>& headerRanks, std::size_t limit);

}  // namespace rowlark::analysis
