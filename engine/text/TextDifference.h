#pragma once

// What differs between two values, to show an edit: the parts of each value that the other lacks.
// Values are compared word by word when either holds white space (a word is a run of characters
// without white space, and each white-space character stands alone), character by character
// otherwise, a character being a grapheme cluster. The parts come from a shortest edit between the
// two token lists (Myers' greedy search), so the same values always give the same parts; tokens that
// are canonically equivalent, or that differ in letter case alone on request, count as equal.
//
// The work is bounded whatever the length of the values: their common start and end are set aside
// first, byte by byte, and the differing middle is split into tokens and searched only within
// `maximumMiddleBytes` and `maximumSearchSteps`. A middle beyond those bounds is marked whole on
// both sides; a common start or end that cannot be brought to a word boundary within them leaves
// both values marked whole.

#include <cstddef>
#include <string_view>
#include <vector>

namespace rowlark::text {

// A part of a UTF-8 text, in bytes.
struct TextSpan {
    std::size_t begin = 0;
    std::size_t end = 0;

    bool operator==(const TextSpan&) const = default;
};

struct TextDifference {
    // In order and apart from one another, each made of whole tokens.
    std::vector<TextSpan> left;
    std::vector<TextSpan> right;

    bool operator==(const TextDifference&) const = default;
};

namespace textDifferenceBounds {
inline constexpr std::size_t maximumMiddleBytes = 32 * 1024;
inline constexpr std::size_t maximumSearchSteps = 500'000;
}  // namespace textDifferenceBounds

TextDifference textDifference(std::string_view left, std::string_view right, bool ignoreCase = false);

}  // namespace rowlark::text
