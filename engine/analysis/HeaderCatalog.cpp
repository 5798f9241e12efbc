#include "engine/analysis/HeaderCatalog.h"

#include <array>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace rowlark::analysis {
namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

using TextIds = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

// Hands out the ids of characters and of texts as they are first met. Headers can be megabytes
// long, so a character is looked up without copying it, and ASCII ones in a table.
class Interner {
public:
    std::uint32_t textId(std::string_view text) { return idOf(texts_, text); }

    void appendSymbols(const CharacterText& text, std::vector<std::uint32_t>& symbols)
    {
        // A text of as many characters as bytes is ASCII, one byte per character.
        if (text.length() == text.text().size()) {
            for (const char byte : text.text())
                symbols.push_back(asciiId(byte));
            return;
        }
        for (std::size_t i = 0; i < text.length(); ++i)
            symbols.push_back(characterId(text.character(i)));
    }

    std::size_t alphabetSize() const { return characterCount_; }

private:
    static std::uint32_t idOf(TextIds& ids, std::string_view key)
    {
        if (const auto found = ids.find(key); found != ids.end())
            return found->second;
        return ids.emplace(key, static_cast<std::uint32_t>(ids.size())).first->second;
    }

    std::uint32_t asciiId(char byte)
    {
        std::uint32_t& id = asciiIds_[static_cast<unsigned char>(byte)];
        if (id == 0)
            id = ++characterCount_;
        return id - 1;
    }

    std::uint32_t characterId(std::string_view character)
    {
        if (character.size() == 1 && static_cast<unsigned char>(character[0]) < asciiIds_.size())
            return asciiId(character[0]);
        if (const auto found = otherIds_.find(character); found != otherIds_.end())
            return found->second;
        return otherIds_.emplace(character, characterCount_++).first->second;
    }

    TextIds texts_;
    std::array<std::uint32_t, 128> asciiIds_{};  // one more than the id; 0 for none yet
    TextIds otherIds_;
    std::uint32_t characterCount_ = 0;
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
            const std::uint32_t entity = terms.entityPrefix.empty() ? 0 : interner.textId(terms.entityPrefix) + 1;
            shapes_.push_back({{}, {}, normalizedId, canonicalId, entity});
            interner.appendSymbols(terms.normalized, symbols_);
            if (canonicalId != normalizedId)
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

// The symbols of each shape's two texts follow each other in shape order; a canonical field that
// is the normalized header itself shares its symbols.
void HeaderCatalog::viewSymbols()
{
    std::span<const std::uint32_t> rest(symbols_);
    for (std::size_t i = 0; i < shapes_.size(); ++i) {
        HeaderShape& shape = shapes_[i];
        shape.normalized = rest.first(terms_[i].normalized.length());
        rest = rest.subspan(shape.normalized.size());
        if (shape.canonicalId == shape.normalizedId) {
            shape.canonicalField = shape.normalized;
        } else {
            shape.canonicalField = rest.first(terms_[i].canonicalField.length());
            rest = rest.subspan(shape.canonicalField.size());
        }
    }
}

}  // namespace rowlark::analysis
