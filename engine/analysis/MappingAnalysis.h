#pragma once

// The initial mapping of two tables: every left column mapped to the right column that is clearly
// its best candidate, re-scored once with the entity prefix the right file turns out to use,
// plus a row key and the ranked candidates of every left column: the best 200 of them.

#include <functional>

#include "engine/records/Mapping.h"
#include "engine/table/Table.h"

namespace rowlark::analysis {

// `checkpoint` is called often, from any of the threads the work is spread over; it stops the
// analysis by throwing.
records::MappingAnalysisResult analyzeMappings(const table::Table& left, const table::Table& right,
                                               const std::function<void()>& checkpoint = {});

}  // namespace rowlark::analysis
