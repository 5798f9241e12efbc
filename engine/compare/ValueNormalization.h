#pragma once

// The comparable form of a cell: the text two cells must share to count as equal. Surrounding
// white space is ignored, three spellings of an absent value become empty, flag, phone and
// country columns absorb their usual spelling variants, JSON is compared in canonical form, and
// letter case is ignored on request. Forms are NFC, so canonically equivalent texts have the same
// bytes and byte order is the Unicode scalar order of their composed form.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::compare {

// Which spelling rules apply to a column, decided once from its normalized header.
struct ColumnRules {
    bool isFlag = false;
    bool isPhone = false;
    bool isCountry = false;

    static ColumnRules forNormalizedHeader(std::string_view normalizedHeader);
    bool operator==(const ColumnRules&) const = default;
};

// Scratch space that lets repeated normalizations run without allocating.
struct NormalizationBuffer {
    std::string composed;
    std::string result;
};

// Texts longer than this (in UTF-8 bytes) are never read as JSON.
inline constexpr std::size_t maximumJSONComparisonBytes = 1'000'000;

// The comparable form of `value`. The view points into `value` when the form is a part of it,
// into static storage for fixed results, and into `buffer` otherwise (valid until its next use).
std::string_view canonicalComparable(std::string_view value, const ColumnRules& rules, bool ignoreCase,
                                     NormalizationBuffer& buffer);

std::string canonicalComparable(std::string_view value, std::string_view normalizedHeader, bool ignoreCase);

// One comparable form per key index, in the order given; a header or cell outside the row (or a
// negative index) reads as empty.
std::vector<std::string> normalizedKey(const std::vector<std::string>& row, const std::vector<std::string>& headers,
                                       const std::vector<std::int64_t>& keyIndices, bool ignoreCase);

}  // namespace rowlark::compare
