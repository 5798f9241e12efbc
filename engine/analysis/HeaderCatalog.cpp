#include "analysis/HeaderCatalog.h"

#include <string_view>
#include <unordered_map>

namespace rowlark::analysis::CSVComparator {
namespace {

// Hands out the ids of characters and of texts as they are first met.
class Interner {
public:
    std::uint32_t textId(const std::string& text) { return idOf(texts_, text); }

    void appendSymbols(const CharacterText& text, std::vector<std::uint32_t>& symbols)
    {
        for (std::size_t i = 0; i < text.length(); ++i)
            symbols.push_back(idOf(characters_, text.character(i)));
    }

    std::size_t alphabetSize() const { return characters_.size(); }

private:
    static std::uint32_t idOf(std::unordered_map<std::string, std::uint32_t>& ids, std::string_view key)
    {
        return ids.try_emplace(std::string(key), static_cast<std::uint32_t>(ids.size())).first->second;
    }

    std::unordered_map<std::string, std::uint32_t> texts_;
    std::unordered_map<std::string, std::uint32_t> characters_;
};

}  // namespace

HeaderCatalog::HeaderCatalog(const std::vector<std::string>& leftHeaders, const std::vector<std::string>& rightHeaders,
                             const std::function<void()>& checkpoint)
{
    Interner interner;
    std::unordered_map<std::string, std::uint32_t> shapeOfHeader;
    std::unordered_map<std::string, std::uint32_t> shapeOfNormalized;
    const auto shapeOf = [&](const std::string& header) {
        checkpoint();
        if (const auto known = shapeOfHeader.find(header); known != shapeOfHeader.end())
            return known->second;
        HeaderTerms terms = headerTerms(header);
        const auto [found, isNew] =
            shapeOfNormalized.try_emplace(terms.normalized.text(), static_cast<std::uint32_t>(terms_.size()));
        if (isNew) {
            const std::uint32_t normalizedId = interner.textId(terms.normalized.text());
            const std::uint32_t canonicalId = interner.textId(terms.canonicalField.text());
            const std::uint32_t entity =
                terms.entityPrefix.empty() ? 0 : interner.textId(std::string(terms.entityPrefix)) + 1;
            shapes_.push_back({{}, {}, normalizedId, canonicalId, entity});
            interner.appendSymbols(terms.normalized, symbols_);
            interner.appendSymbols(terms.canonicalField, symbols_);
            terms_.push_back(std::move(terms));
        }
        shapeOfHeader.emplace(header, found->second);
        return found->second;
    };
    for (const auto& header : leftHeaders)
        leftShapes_.push_back(shapeOf(header));
    std::unordered_map<std::uint32_t, std::uint32_t> slotOfShape;
    for (const auto& header : rightHeaders) {
        const std::uint32_t shape = shapeOf(header);
        const auto [slot, isNew] = slotOfShape.try_emplace(shape, static_cast<std::uint32_t>(slotOfShape.size()));
        if (isNew)
            distinctRightShapes_.push_back(shape);
        rightShapes_.push_back(shape);
        rightShapeSlots_.push_back(slot->second);
    }
    alphabetSize_ = interner.alphabetSize();
    viewSymbols();
}

// The symbols of each shape's two texts follow each other in shape order.
void HeaderCatalog::viewSymbols()
{
    std::span<const std::uint32_t> rest(symbols_);
    for (std::size_t i = 0; i < shapes_.size(); ++i) {
        shapes_[i].normalized = rest.first(terms_[i].normalized.length());
        rest = rest.subspan(shapes_[i].normalized.size());
        shapes_[i].canonicalField = rest.first(terms_[i].canonicalField.length());
        rest = rest.subspan(shapes_[i].canonicalField.size());
    }
}

}  // namespace rowlark::analysis::CSVComparator
