#include "engine/workbook/format/NumberFormat.h"

#include <array>
#include <cmath>
#include <utility>

#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/FormatTokens.h"
#include "engine/workbook/format/GeneralNumber.h"

namespace rowlark::workbook {
namespace {

using formatting::evaluate;
using formatting::evaluatePlainNumber;
using formatting::evaluateTokens;
using formatting::generalText;
using formatting::hasCondition;
using formatting::isGeneralAt;
using formatting::isPlainNumberSection;
using formatting::splitSections;
using formatting::Token;
using formatting::Tokenizing;
using formatting::Tokens;

constexpr std::size_t maximumFormatLength = 255;

}  // namespace

struct NumberFormat::Sections {
    std::vector<std::string> texts;
    bool hasTextSection = false;
    int numberSectionCount = 0;         // the number of sections as the library counts them for numbers
    std::array<int, 3> numberSections;  // for positive, negative and zero numbers; -1 for "General"
    std::vector<bool> isPlainNumber;
    // The tokens for numbers of each section whose tokens do not depend on the number (no date
    // or time fields, no '@').
    std::vector<std::optional<Tokens>> numberTokens;
};

namespace {

// The library's choice of section by the sign of a number, for `count` sections.
std::array<int, 3> numberSectionsFor(std::size_t count, bool hasTextSection)
{
    switch (count) {
    case 1:
        return hasTextSection ? std::array<int, 3>{-1, -1, -1} : std::array<int, 3>{0, 0, 0};
    case 2:
        return hasTextSection ? std::array<int, 3>{0, 0, 0} : std::array<int, 3>{0, 1, 0};
    default:
        return hasTextSection && count == 3 ? std::array<int, 3>{0, 1, 0} : std::array<int, 3>{0, 1, 2};
    }
}

std::optional<Tokens> valueFreeTokens(std::string_view section, int sectionCount)
{
    Tokens tokens;
    if (tokenize(section, CellValue(1.0), sectionCount, tokens) != Tokenizing::complete || tokens.date)
        return std::nullopt;
    for (const Token& token : tokens.out)
        if (token.type == '@')
            return std::nullopt;
    return tokens;
}

}  // namespace

std::optional<NumberFormat> NumberFormat::parse(std::string_view format)
{
    NumberFormat parsed;
    if (isGeneralAt(format, 0))
        return parsed;
    // Formatting recurses once a shortened form; spreadsheet programs write at most 255
    // characters, and longer texts are left to the library rather than to the stack.
    if (format.size() > maximumFormatLength)
        return std::nullopt;
    for (const char c : format)
        if (static_cast<unsigned char>(c) >= 0xF0)
            return std::nullopt;
    auto texts = splitSections(format);
    if (!texts || texts->size() > 4)
        return std::nullopt;
    if (hasCondition((*texts)[0]) || (texts->size() > 1 && hasCondition((*texts)[1])))
        return std::nullopt;
    auto sections = std::make_shared<Sections>();
    const std::size_t count = texts->size();
    sections->hasTextSection = texts->back().find('@') != std::string::npos;
    sections->numberSectionCount = static_cast<int>(count) - (count < 4 && sections->hasTextSection ? 1 : 0);
    sections->numberSections = numberSectionsFor(count, sections->hasTextSection);
    for (const std::string& text : *texts) {
        sections->isPlainNumber.push_back(isPlainNumberSection(text));
        sections->numberTokens.push_back(valueFreeTokens(text, sections->numberSectionCount));
    }
    sections->texts = std::move(*texts);
    parsed.sections_ = std::move(sections);
    return parsed;
}

std::optional<std::string> NumberFormat::format(double value) const
{
    return format(CellValue(value));
}

std::optional<std::string> NumberFormat::format(const CellValue& value) const
{
    if (!sections_)
        return generalText(value);
    const Sections& sections = *sections_;
    if (const auto* number = std::get_if<double>(&value)) {
        if (!std::isfinite(*number))
            return std::nullopt;
        const int index = sections.numberSections[*number > 0 ? 0 : *number < 0 ? 1 : 2];
        if (index < 0 || isGeneralAt(sections.texts[static_cast<std::size_t>(index)], 0))
            return generalText(value);
        const auto at = static_cast<std::size_t>(index);
        if (sections.isPlainNumber[at])
            return evaluatePlainNumber(sections.texts[at], *number, sections.numberSectionCount);
        if (const std::optional<Tokens>& tokens = sections.numberTokens[at])
            return evaluateTokens(Tokens(*tokens), value, sections.numberSectionCount);
        return evaluate(sections.texts[at], value, sections.numberSectionCount);
    }
    // Texts and Booleans take the text section, or "@" when there is none; Booleans as the text
    // TRUE or FALSE.
    const std::string_view chosen = sections.texts.size() == 4 || sections.hasTextSection
                                        ? std::string_view(sections.texts.back())
                                        : std::string_view("@");
    constexpr int textSectionCount = 4;
    if (isGeneralAt(chosen, 0))
        return generalText(value);
    if (const auto* boolean = std::get_if<bool>(&value))
        return evaluate(chosen, CellValue(std::string(*boolean ? "TRUE" : "FALSE")), textSectionCount);
    if (std::get<std::string>(value).empty())
        return std::string();
    return evaluate(chosen, value, textSectionCount);
}

}  // namespace rowlark::workbook
