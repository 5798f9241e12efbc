#include "records/Mapping.h"

#include "records/Hashing.h"

std::size_t std::hash<rowlark::HeaderSuggestion>::operator()(const rowlark::HeaderSuggestion& suggestion) const noexcept
{
    std::size_t seed = 0;
    rowlark::hashCombine(seed, suggestion.rightIndex);
    rowlark::hashCombine(seed, suggestion.score);
    rowlark::hashCombine(seed, suggestion.reason);
    return seed;
}

std::size_t std::hash<rowlark::ColumnMapping>::operator()(const rowlark::ColumnMapping& mapping) const noexcept
{
    std::size_t seed = 0;
    rowlark::hashCombine(seed, mapping.id);
    rowlark::hashCombine(seed, mapping.leftIndex);
    rowlark::hashCombine(seed, mapping.rightIndex);
    rowlark::hashCombine(seed, mapping.isKey);
    rowlark::hashCombine(seed, mapping.isManual);
    rowlark::hashCombine(seed, mapping.isIncluded);
    return seed;
}
