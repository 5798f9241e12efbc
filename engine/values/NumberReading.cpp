#include "engine/values/NumberReading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "engine/text/Unicode.h"

namespace rowlark::values {
namespace {

// Separators of digit groups beside the mark that is not the decimal one: spaces, no-break and
// thin spaces, and apostrophes.
constexpr std::array<std::string_view, 6> spacingSeparators{" ", "\u00A0", "\u202F", "\u2009", "'", "\u2019"};
constexpr std::string_view minusSign = "\u2212";

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool isUppercaseLetter(char character)
{
    return character >= 'A' && character <= 'Z';
}

std::size_t digitRun(std::string_view text, std::size_t from)
{
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return end - from;
}

// The length of the group separator at `position` under `mark`, or 0.
std::size_t groupSeparatorAt(std::string_view text, std::size_t position, DecimalMark mark)
{
    const char otherMark = mark == DecimalMark::point ? ',' : '.';
    if (position < text.size() && text[position] == otherMark)
        return 1;
    for (const std::string_view separator : spacingSeparators)
        if (text.substr(position).starts_with(separator))
            return separator.size();
    return 0;
}

// Removes a sign at the front; false when there is none.
bool takeSign(std::string_view& text, bool& isNegative)
{
    if (text.starts_with('+') || text.starts_with('-')) {
        isNegative = text.front() == '-';
        text.remove_prefix(1);
        return true;
    }
    if (text.starts_with(minusSign)) {
        isNegative = true;
        text.remove_prefix(minusSign.size());
        return true;
    }
    return false;
}

bool isISOCode(std::string_view text)
{
    return text.size() == 3 && std::all_of(text.begin(), text.end(), isUppercaseLetter) &&
           text::isISOCurrencyCode(text);
}

// Whether a currency symbol or code may start or end at this byte: in ASCII only "$" is a currency
// symbol, and codes are letters.
bool mayBeCurrencyByte(char byte)
{
    return static_cast<unsigned char>(byte) >= 0x80 || byte == '$' || isUppercaseLetter(byte);
}

// Removes a currency symbol or ISO code at the front, and the white space after it.
bool takeLeadingCurrency(std::string_view& text)
{
    if (text.empty() || !mayBeCurrencyByte(text.front()))
        return false;
    std::size_t end = 0;
    if (!text.empty() && text::isCurrencySymbol(text::nextScalar(text, end))) {
        text = text::trimmed(text.substr(end));
        return true;
    }
    if (text.size() > 3 && isISOCode(text.substr(0, 3)) && !isUppercaseLetter(text[3])) {
        text = text::trimmed(text.substr(3));
        return true;
    }
    return false;
}

bool takeTrailingCurrency(std::string_view& text)
{
    if (text.empty() || !mayBeCurrencyByte(text.back()))
        return false;
    std::size_t start = text.size();
    if (!text.empty() && text::isCurrencySymbol(text::previousScalar(text, start))) {
        text = text::trimmed(text.substr(0, start));
        return true;
    }
    if (text.size() > 3 && isISOCode(text.substr(text.size() - 3)) && !isUppercaseLetter(text[text.size() - 4])) {
        text = text::trimmed(text.substr(0, text.size() - 3));
        return true;
    }
    return false;
}

bool isTooLong(std::string_view text)
{
    if (text.size() <= longestReadText)
        return false;
    const auto scalars =
        std::count_if(text.begin(), text.end(), [](char byte) { return !text::isContinuationByte(byte); });
    return static_cast<std::size_t>(scalars) > longestReadText;
}

// The digits, point, fraction and exponent of a number without sign, currency or percent sign.
class BodyReader {
public:
    BodyReader(std::string_view text, DecimalMark mark)
        : text_(text)
        , mark_(mark)
    {
    }

    std::optional<Decimal> read(bool isNegative, std::int64_t shift)
    {
        if (!readInteger())
            return std::nullopt;
        const char decimalMark = mark_ == DecimalMark::point ? '.' : ',';
        std::string_view fraction;
        if (position_ < text_.size() && text_[position_] == decimalMark) {
            ++position_;
            fraction = text_.substr(position_, digitRun(text_, position_));
            position_ += fraction.size();
        }
        if (integer_.empty() && fraction.empty())
            return std::nullopt;
        bool isExponentNegative = false;
        std::string_view exponent;
        if (position_ < text_.size() && (text_[position_] == 'e' || text_[position_] == 'E')) {
            std::string_view rest = text_.substr(position_ + 1);
            if (rest.starts_with('+') || rest.starts_with('-')) {
                isExponentNegative = rest.front() == '-';
                rest.remove_prefix(1);
            }
            exponent = rest.substr(0, digitRun(rest, 0));
            if (exponent.empty())
                return std::nullopt;
            position_ = static_cast<std::size_t>(exponent.data() + exponent.size() - text_.data());
        }
        if (position_ != text_.size())
            return std::nullopt;
        return Decimal::fromParts(isNegative, integer_, fraction, isExponentNegative, exponent, shift);
    }

private:
    // Digits, in groups of three after a first group of one to three when a separator follows it.
    bool readInteger()
    {
        const std::size_t first = digitRun(text_, 0);
        position_ = first;
        const std::size_t separator = groupSeparatorAt(text_, position_, mark_);
        if (separator == 0 || first == 0 || first > 3 || !isGroupAt(position_ + separator)) {
            integer_.assign(text_.substr(0, first));
            return true;
        }
        const std::string_view chosen = text_.substr(position_, separator);
        integer_.assign(text_.substr(0, first));
        while (text_.substr(position_).starts_with(chosen)) {
            if (!isGroupAt(position_ + chosen.size()))
                return false;
            integer_.append(text_.substr(position_ + chosen.size(), 3));
            position_ += chosen.size() + 3;
        }
        return true;
    }

    bool isGroupAt(std::size_t position) const { return digitRun(text_, position) == 3; }

    std::string_view text_;
    DecimalMark mark_;
    std::size_t position_ = 0;
    std::string integer_;
};

}  // namespace

std::optional<Decimal> readNumber(std::string_view cell, DecimalMark mark)
{
    std::string_view text = text::trimmed(cell);
    if (text.empty() || isTooLong(text))
        return std::nullopt;
    bool isParenthesized = false;
    // Accounting parentheses may enclose the currency or be enclosed by it: "($5)", "$ (5)".
    const auto takeParentheses = [&] {
        if (isParenthesized || text.size() < 2 || text.front() != '(' || text.back() != ')')
            return false;
        text = text::trimmed(text.substr(1, text.size() - 2));
        isParenthesized = true;
        return true;
    };
    takeParentheses();
    const bool isPercent = text.ends_with('%');
    if (isPercent)
        text = text::trimmed(text.substr(0, text.size() - 1));
    bool isNegative = false;
    bool hasSign = false;
    bool hasCurrency = false;
    for (int part = 0; part < 3; ++part) {
        if (!hasSign && takeSign(text, isNegative))
            hasSign = true;
        else if (!hasCurrency && takeLeadingCurrency(text))
            hasCurrency = true;
        else if (!takeParentheses())
            break;
    }
    if (!hasCurrency && takeTrailingCurrency(text)) {
        hasCurrency = true;
        takeParentheses();
    }
    if ((hasCurrency && isPercent) || (isParenthesized && hasSign))
        return std::nullopt;
    return BodyReader(text, mark).read(isNegative || isParenthesized, isPercent ? 2 : 0);
}

// Per byte: 0 for one no number has, 1 for one a number may have, 2 for a comma or a point. Bytes
// outside ASCII may belong to currency symbols, spaces and minus signs.
constexpr std::array<std::uint8_t, 256> numberBytes = [] {
    std::array<std::uint8_t, 256> bytes{};
    for (const char byte : std::string_view("0123456789+-()%$' eE\t\n\r\v\f"))
        bytes[static_cast<unsigned char>(byte)] = 1;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        bytes[static_cast<unsigned char>(letter)] = 1;
    for (std::size_t byte = 0x80; byte < bytes.size(); ++byte)
        bytes[byte] = 1;
    bytes[static_cast<unsigned char>(',')] = 2;
    bytes[static_cast<unsigned char>('.')] = 2;
    return bytes;
}();

bool hasMarkAndMayBeNumber(std::string_view cell)
{
    std::uint8_t seen = 0;
    for (const char byte : cell) {
        const std::uint8_t kind = numberBytes[static_cast<unsigned char>(byte)];
        if (kind == 0)
            return false;
        seen |= kind;
    }
    return (seen & 2) != 0;
}

bool isCanonicalNumber(std::string_view text, DecimalMark mark)
{
    constexpr std::size_t mostIntegerDigits = 21;
    constexpr std::size_t mostLeadingFractionZeros = 5;
    if (text.size() > longestReadText)
        return false;
    const bool isNegative = text.starts_with('-');
    if (isNegative)
        text.remove_prefix(1);
    const std::size_t point = text.find('.');
    if (point != std::string_view::npos && mark != DecimalMark::point)
        return false;
    const std::string_view integer = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto areDigits = [](std::string_view digits) { return std::all_of(digits.begin(), digits.end(), isDigit); };
    if (integer.empty() || integer.size() > mostIntegerDigits || !areDigits(integer) || !areDigits(fraction))
        return false;
    if (point != std::string_view::npos && (fraction.empty() || fraction.back() == '0'))
        return false;
    if (integer.size() > 1 && integer.front() == '0')
        return false;
    if (integer == "0") {
        // Zero is "0", and a value below 1 turns scientific past five leading zeros.
        const std::size_t zeros = fraction.find_first_not_of('0');
        return fraction.empty() ? !isNegative : zeros <= mostLeadingFractionZeros;
    }
    return true;
}

void DecimalMarkEvidence::note(std::string_view cell)
{
    if (!hasMarkAndMayBeNumber(cell))
        return;
    const bool isPointNumber = readNumber(cell, DecimalMark::point).has_value();
    const bool isCommaNumber = readNumber(cell, DecimalMark::comma).has_value();
    hasPointEvidence_ = hasPointEvidence_ || (isPointNumber && !isCommaNumber);
    hasCommaEvidence_ = hasCommaEvidence_ || (isCommaNumber && !isPointNumber);
}

DecimalMark DecimalMarkEvidence::decision() const
{
    return hasCommaEvidence_ && !hasPointEvidence_ ? DecimalMark::comma : DecimalMark::point;
}

void DecimalMarkEvidence::merge(const DecimalMarkEvidence& other)
{
    hasPointEvidence_ = hasPointEvidence_ || other.hasPointEvidence_;
    hasCommaEvidence_ = hasCommaEvidence_ || other.hasCommaEvidence_;
}

}  // namespace rowlark::values
