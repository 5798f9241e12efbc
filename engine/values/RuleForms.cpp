#include "engine/values/RuleForms.h"

#include <algorithm>

#include "engine/text/Unicode.h"
#include "engine/values/FlagReading.h"

namespace rowlark::values {
namespace {

constexpr std::string_view trueForm = "true";
constexpr std::string_view falseForm = "false";

// `form` as a view into `cell` when the trimmed cell is that text already, else into `buffer`.
std::string_view keptForm(std::string_view cell, std::string form, std::string& buffer)
{
    const std::string_view trimmed = text::trimmed(cell);
    if (trimmed == form)
        return trimmed;
    buffer = std::move(form);
    return buffer;
}

bool isPlainASCIIScalar(char32_t scalar)
{
    return scalar < 0x80 && ((scalar >= 'a' && scalar <= 'z') || (scalar >= '0' && scalar <= '9'));
}

std::string_view textForm(std::string_view cell, bool ignoresCase, bool ignoresSpace, bool ignoresPunctuation,
                          std::string& buffer)
{
    const std::string_view trimmed = text::trimmed(cell);
    const bool isASCII = text::isASCII(trimmed);
    const auto isKept = [&](char32_t scalar) {
        return isPlainASCIIScalar(scalar) || !((ignoresSpace && text::isWhiteSpaceOrLineBreak(scalar)) ||
                                               (ignoresPunctuation && text::isPunctuation(scalar)) ||
                                               (ignoresCase && isASCII && scalar >= 'A' && scalar <= 'Z'));
    };
    bool isUnchanged = isASCII;
    for (std::size_t position = 0; isUnchanged && position < trimmed.size();)
        isUnchanged = isKept(text::nextScalar(trimmed, position));
    if (isUnchanged)
        return trimmed;
    std::string composed = isASCII ? std::string(trimmed) : text::nfc(trimmed);
    if (ignoresCase)
        composed = text::nfc(text::lowercased(composed));
    buffer.clear();
    // Scalars are written anew, bytes that are no UTF-8 as U+FFFD: kept as they were, the halves of
    // a sequence around a left-out space could join into a character of their own.
    for (std::size_t position = 0; position < composed.size();) {
        const char32_t scalar = text::nextScalar(composed, position);
        if ((ignoresSpace && text::isWhiteSpaceOrLineBreak(scalar)) ||
            (ignoresPunctuation && text::isPunctuation(scalar)))
            continue;
        text::appendScalar(buffer, scalar);
    }
    return buffer;
}

}  // namespace

bool dependsOnReading(std::string_view cell, RuleKind kind)
{
    if (kind == RuleKind::number)
        return hasMarkAndMayBeNumber(cell);
    if (kind == RuleKind::date || kind == RuleKind::dateTime)
        return cell.find('/') != std::string_view::npos;
    return false;
}

std::optional<Decimal> numberOf(std::string_view cell, const std::optional<StoredNumber>& stored,
                                const SideReading& reading)
{
    if (stored)
        return Decimal::fromDouble(stored->value);
    return readNumber(cell, reading.decimalMark);
}

std::optional<DateTime> dateTimeOf(std::string_view cell, const std::optional<StoredNumber>& stored,
                                   const SideReading& reading)
{
    if (stored)
        return dateTimeOfSerial(stored->value, stored->isDate1904);
    return readDateTime(cell, reading.dayOrder);
}

std::optional<std::string_view> ruleForm(std::string_view cell, const std::optional<StoredNumber>& stored,
                                         const ComparisonRule& rule, const SideReading& reading, bool ignoreCase,
                                         std::string& buffer)
{
    switch (rule.kind) {
    case RuleKind::number:
        if (const std::string_view trimmed = text::trimmed(cell);
            !stored && isCanonicalNumber(trimmed, reading.decimalMark))
            return trimmed;
        if (const std::optional<Decimal> number = numberOf(cell, stored, reading))
            return keptForm(cell, number->text(), buffer);
        return std::nullopt;
    case RuleKind::date:
    case RuleKind::dateTime:
        if (const std::optional<DateTime> value = dateTimeOf(cell, stored, reading))
            return keptForm(cell, rule.kind == RuleKind::date ? value->dateText() : value->instantText(), buffer);
        return std::nullopt;
    case RuleKind::yesNo:
        if (const std::optional<bool> flag = readFlag(cell))
            return *flag ? trueForm : falseForm;
        return std::nullopt;
    case RuleKind::text:
        return textForm(cell, rule.ignoresCase || ignoreCase, rule.ignoresSpace, rule.ignoresPunctuation, buffer);
    case RuleKind::asRead:
    case RuleKind::ignore:
        break;
    }
    return std::nullopt;
}

bool areWithinTolerance(const ComparisonRule& rule, std::string_view cellA, const std::optional<StoredNumber>& storedA,
                        const SideReading& readingA, std::string_view cellB, const std::optional<StoredNumber>& storedB,
                        const SideReading& readingB)
{
    if (rule.kind == RuleKind::number && (rule.absoluteTolerance || rule.relativeTolerance)) {
        const std::optional<Decimal> a = numberOf(cellA, storedA, readingA);
        const std::optional<Decimal> b = numberOf(cellB, storedB, readingB);
        return a && b && isWithinTolerance(*a, *b, rule.absoluteTolerance, rule.relativeTolerance);
    }
    if (rule.kind == RuleKind::dateTime && rule.secondsTolerance) {
        const std::optional<DateTime> a = dateTimeOf(cellA, storedA, readingA);
        const std::optional<DateTime> b = dateTimeOf(cellB, storedB, readingB);
        return a && b && isWithinTolerance(a->instant(), b->instant(), rule.secondsTolerance, std::nullopt);
    }
    return false;
}

}  // namespace rowlark::values
