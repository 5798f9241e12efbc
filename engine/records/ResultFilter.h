#pragma once

// The filters of the results screen, in the order the filter picker offers them.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace rowlark::records {

enum class ResultFilter { all, changed, onlyLeft, onlyRight, emptyValues };

inline constexpr std::array<ResultFilter, 5> allResultFilters = {ResultFilter::all, ResultFilter::changed,
                                                                 ResultFilter::onlyLeft, ResultFilter::onlyRight,
                                                                 ResultFilter::emptyValues};

// The picker's title; the one-sided filters name their file ("Only in " + name).
std::string title(ResultFilter filter, std::string_view leftName, std::string_view rightName);

}  // namespace rowlark::records
