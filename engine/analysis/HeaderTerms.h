#pragma once

// The terms in which headers are compared: the normalized header, its entity prefix ("guarantor"
// or "patient"), the field part after that prefix and the field's canonical name from the alias
// table, plus the namespace prefix between two headers and their edit-distance similarity.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/analysis/CharacterText.h"
#include "engine/text/Unicode.h"

namespace rowlark::analysis {

using text::normalizeHeader;

// The alias table's canonical name for a field part; the field itself when it has no alias.
std::string canonicalField(std::string_view field);

// (prefix, field) when one normalized header is the other with extra leading characters.
std::optional<std::pair<std::string, std::string>> namespaceRelationship(std::string_view left, std::string_view right);

// 1 − Levenshtein distance over characters / the longer length; 1 for two empty texts.
double similarity(std::string_view a, std::string_view b);

struct HeaderTerms {
    CharacterText normalized;
    std::string_view entityPrefix;  // "guarantor", "patient" or empty
    CharacterText fieldPart;
    CharacterText canonicalField;
};

// Splits the header after normalizing it.
HeaderTerms headerTerms(std::string_view header);
// The terms of each header, in order.
std::vector<HeaderTerms> headerTerms(const std::vector<std::string>& headers);
// Splits a header that is already normalized.
HeaderTerms termsOfNormalized(const CharacterText& normalized);

struct NamespacePrefix {
    CharacterText prefix;
    bool isOnRight = false;  // the right header is the longer one and carries the prefix
};

std::optional<NamespacePrefix> namespacePrefix(const CharacterText& left, const CharacterText& right);
// The similarity of two texts of these lengths, in characters, that lie `distance` apart.
inline double similarity(std::size_t distance, std::size_t lengthA, std::size_t lengthB)
{
    if (lengthA == 0 && lengthB == 0)
        return 1;
    return 1 - static_cast<double>(distance) / static_cast<double>(std::max(lengthA, lengthB));
}

// No similarity of texts with these lengths can exceed this.
inline double similarityCeiling(std::size_t lengthA, std::size_t lengthB)
{
    return similarity(std::max(lengthA, lengthB) - std::min(lengthA, lengthB), lengthA, lengthB);
}

}  // namespace rowlark::analysis
