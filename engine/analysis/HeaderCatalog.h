#pragma once

// The headers of two tables prepared for scoring every pair of them. Each distinct normalized
// header is one shape, split once (wide files repeat header shapes); the characters of every
// shape's texts are symbols of one alphabet shared by both tables, so that characters compare as
// integers, and equal texts share an id, so that texts compare as one.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/analysis/HeaderTerms.h"

namespace rowlark::analysis {

// What matching a pair of headers reads of each, small and in one place for a pass over
// thousands of them; the full terms are kept apart.
struct HeaderShape {
    std::span<const std::uint32_t> normalized;  // the symbols of the normalized header
    std::span<const std::uint32_t> canonicalField;
    std::uint32_t normalizedId = 0;  // normalized texts and canonical fields draw from the same ids
    std::uint32_t canonicalId = 0;
    std::uint32_t entityId = 0;  // 0 for none, else one more than the entity prefix's text id
};

class HeaderCatalog {
public:
    // `checkpoint` is called for every header; it stops the work by throwing.
    HeaderCatalog(
        const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders,
        const std::function<void()>& checkpoint = [] {});

    const HeaderShape& shape(std::uint32_t index) const { return shapes_[index]; }
    const HeaderTerms& terms(std::uint32_t index) const { return terms_[index]; }
    std::uint32_t leftShape(std::size_t column) const { return leftShapes_[column]; }
    std::uint32_t rightShape(std::size_t column) const { return rightShapes_[column]; }
    // The shapes of the right headers, each once, in order of first appearance.
    std::span<const std::uint32_t> distinctRightShapes() const { return distinctRightShapes_; }
    // The position in distinctRightShapes() of a right column's shape.
    std::uint32_t rightShapeSlot(std::size_t column) const { return rightShapeSlots_[column]; }
    std::size_t alphabetSize() const { return alphabetSize_; }

private:
    void viewSymbols();

    std::vector<HeaderTerms> terms_;
    std::vector<HeaderShape> shapes_;
    std::vector<std::uint32_t> symbols_;  // what the shapes' spans view
    std::vector<std::uint32_t> leftShapes_;
    std::vector<std::uint32_t> rightShapes_;
    std::vector<std::uint32_t> distinctRightShapes_;
    std::vector<std::uint32_t> rightShapeSlots_;
    std::size_t alphabetSize_ = 0;
};

}  // namespace rowlark::analysis
