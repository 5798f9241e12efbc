#pragma once

// One right column that reaches the cut-off for a left column, in the compact form scoring works
// with: the reason is a code whose text is written only for the suggestions that are kept.

#include <cstdint>

namespace rowlark::analysis {

enum class Reason : std::uint8_t {
    exact,
    knownAlias,
    entityPrefixMatch,
    sameEntityField,
    differentEntity,
    learnedPattern,
    namespacePattern,
    similarName,
    valuesOverlap,
    matchingDataType,
};

struct Candidate {
    double score = 0;
    std::uint32_t column = 0;
    Reason reason = Reason::exact;
    bool isWithDataType = false;  // the reason gains " + data type"
    // Kept in the list only when true; the others still take part in ordering the list.
    bool isOffered = true;
};

}  // namespace rowlark::analysis
