#pragma once

// What the mapping screen derives from the model's mappings, suggestions and headers: the texts of a
// row, which mappings a search shows, and the counts of the bottom bar.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <QString>

#include "model/ComparisonModel.h"
#include "model/UTF8Text.h"

namespace rowlark::ui::mapping {

// The header of a column of File A or File B; empty when the file is missing or the index is outside it.
QString leftHeader(const model::ComparisonModel& model, std::int64_t leftIndex);
QString rightHeader(const model::ComparisonModel& model, std::int64_t rightIndex);
// The same as a line of the screen shows them: an enormous header is cut to its first characters.
QString shownLeftHeader(const model::ComparisonModel& model, std::int64_t leftIndex);
QString shownRightHeader(const model::ComparisonModel& model, std::int64_t rightIndex);

bool isStructuredLeftColumn(const model::ComparisonModel& model, std::int64_t leftIndex);
bool isDerivedLeftColumn(const model::ComparisonModel& model, std::int64_t leftIndex);

// The header as listed: "Unnamed column 3" for the third column when its header is empty.
QString displayName(const QString& source, std::int64_t leftIndex);

// The ranked suggestions shown as chips for a left column: at most the first three.
std::vector<records::HeaderSuggestion> candidates(const model::ComparisonModel& model, std::int64_t leftIndex);

// "98%" for 0.987: the score in hundredths, truncated toward zero.
QString strengthText(double score);

// The hover help of a suggestion chip.
QString suggestionHelp(const std::string& reason);

// The positions in the model's mappings that the search text shows, in mapping order. A mapping is
// found through its own header or through the header of the column it is mapped to.
std::vector<std::size_t> visibleMappings(const model::ComparisonModel& model);

// "5 of 8 included": mapped and included mappings of all mappings.
QString includedCountText(const model::ComparisonModel& model);

// Whether some mapping with a right column is part of the row key.
bool hasMappedKey(const model::ComparisonModel& model);

}  // namespace rowlark::ui::mapping
