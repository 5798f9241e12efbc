#include "engine/workbook/format/NumberFormat.h"

#include <array>
#include <cmath>
#include <utility>

#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/FormatTokens.h"
#include "engine/workbook/format/GeneralNumber.h"
#include "engine/workbook/format/NumberPattern.h"

namespace rowlark::workbook {
namespace {

using formatting::Condition;
using formatting::generalText;
using formatting::isGeneralAt;
using formatting::NumberPattern;
using formatting::Tokenizing;
using formatting::Tokens;

constexpr std::size_t maximumFormatLength = 255;

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

// The pattern of a section whose text does not depend on the number beyond its digits: no date
// or time fields, no '@' or "General" among its tokens.
std::optional<NumberPattern> valueFreePattern(std::string_view section)
{
    Tokens tokens;
    if (tokenize(section, CellValue(1.0), tokens) != Tokenizing::complete || tokens.date)
        return std::nullopt;
    for (const formatting::Token& token : tokens.out)
        if (token.type == '@' || token.type == 'G')
            return std::nullopt;
    return NumberPattern::fromTokens(tokens.out);
}

// The number rounded to the time the section shows, to the second or to its places of a second,
// so that 23:59:59.7 under "hh:mm:ss" shows as the next day's 00:00:00, not as 23:59:60.
double roundedToTimeShown(double value, int secondPlaces)
{
    const double unitsPerDay = 86400 * std::pow(10.0, secondPlaces);
    const double rounded = std::floor(value * unitsPerDay + 0.5) / unitsPerDay;
    return std::isfinite(rounded) ? rounded : value;
}

}  // namespace

struct NumberFormat::Sections {
    struct Section {
        std::string text;
        std::optional<Condition> condition;
        bool isGeneral = false;
        // The places of a second for a section that shows a time or a duration.
        std::optional<int> timePlaces;
        bool isDuration = false;
        bool isClockTime = false;              // a time of day without a date
        std::optional<NumberPattern> pattern;  // for a section whose text depends on the digits alone
    };

    std::vector<Section> sections;
    bool hasTextSection = false;
    int numberSectionCount = 0;         // the number of sections as the library counts them for numbers
    std::array<int, 3> numberSections;  // for positive, negative and zero numbers; -1 for "General"
    bool hasConditions = false;

    // The section a number shows in, and whether its minus sign is shown: by one section that
    // holds all numbers, or by a section chosen by a condition that also admits positive numbers.
    std::pair<int, bool> sectionFor(double value) const
    {
        if (!hasConditions)
            return {numberSections[value > 0 ? 0 : value < 0 ? 1 : 2], numberSectionCount == 1};
        const auto conditionAt = [this](int position) -> const std::optional<Condition>& {
            return sections[static_cast<std::size_t>(numberSections[static_cast<std::size_t>(position)])].condition;
        };
        const std::optional<Condition>& first = conditionAt(0);
        const std::optional<Condition>& second = conditionAt(1);
        const int position = first && first->matches(value)     ? 0
                             : second && second->matches(value) ? 1
                             : first && second                  ? 2
                                                                : 1;
        const int index = numberSections[static_cast<std::size_t>(position)];
        return {index, index == 0 && !(first && first->isForNegativesOnly())};
    }
};

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
    auto texts = formatting::splitSections(format);
    if (!texts || texts->size() > 4)
        return std::nullopt;
    auto sections = std::make_shared<Sections>();
    const std::size_t count = texts->size();
    sections->hasTextSection = texts->back().find('@') != std::string::npos;
    sections->numberSectionCount = static_cast<int>(count) - (count < 4 && sections->hasTextSection ? 1 : 0);
    sections->numberSections = numberSectionsFor(count, sections->hasTextSection);
    for (std::string& text : *texts) {
        Sections::Section section;
        section.condition = formatting::conditionOf(text);
        section.isGeneral = isGeneralAt(text, 0);
        const formatting::DateTimeParts parts = formatting::dateTimePartsOf(text);
        if (parts.hasTime)
            section.timePlaces = parts.secondPlaces;
        section.isDuration = parts.isDuration;
        section.isClockTime = parts.hasTime && !parts.hasDate && !parts.isDuration;
        section.pattern = valueFreePattern(text);
        section.text = std::move(text);
        sections->sections.push_back(std::move(section));
    }
    for (const int position : {0, 1})
        if (const int index = sections->numberSections[static_cast<std::size_t>(position)]; index >= 0)
            sections->hasConditions =
                sections->hasConditions || sections->sections[static_cast<std::size_t>(index)].condition;
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
            return generalNumberText(*number);
        const auto [index, isMinusShown] = sections.sectionFor(*number);
        if (index < 0)
            return generalText(value);
        const Sections::Section& section = sections.sections[static_cast<std::size_t>(index)];
        if (section.isGeneral)
            return generalText(value);
        if (section.pattern)
            return section.pattern->format(std::abs(*number), isMinusShown && *number < 0);
        double shown = section.timePlaces ? roundedToTimeShown(*number, *section.timePlaces) : *number;
        // A time of day is the same on every day, past the last date too.
        if (section.isClockTime && shown >= 0)
            shown -= std::floor(shown);
        // A duration below zero is the duration after a minus sign.
        if (section.isDuration && shown < 0) {
            const auto text = formatting::evaluate(section.text, CellValue(-shown), false);
            return text ? "-" + *text : text;
        }
        return formatting::evaluate(section.text, CellValue(shown), isMinusShown);
    }
    // Texts and Booleans take the text section, or "@" when there is none; Booleans as the text
    // TRUE or FALSE.
    const std::string_view chosen = sections.sections.size() == 4 || sections.hasTextSection
                                        ? std::string_view(sections.sections.back().text)
                                        : std::string_view("@");
    if (isGeneralAt(chosen, 0))
        return generalText(value);
    if (const auto* boolean = std::get_if<bool>(&value))
        return formatting::evaluate(chosen, CellValue(std::string(*boolean ? "TRUE" : "FALSE")), false);
    if (std::get<std::string>(value).empty())
        return std::string();
    return formatting::evaluate(chosen, value, false);
}

}  // namespace rowlark::workbook
