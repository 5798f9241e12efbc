#include "engine/workbook/format/NumberPattern.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "engine/workbook/format/NumberFormat.h"
#include "engine/workbook/format/ShownDigits.h"

namespace rowlark::workbook::formatting {
namespace {

// What a placeholder without a digit of its own shows.
std::string_view padding(char placeholder)
{
    return placeholder == '0' ? "0" : placeholder == '?' ? " " : "";
}

// The digits of a whole number (>= 0), "0" for zero.
std::string wholeNumberText(double value)
{
    const std::string digits = shownDigits(value).wholeDigits();
    return digits.empty() ? "0" : digits;
}

// The fraction closest to x (>= 0) whose denominator is at most `limit`, the smaller denominator
// on a tie: the last convergent of x's continued fraction within the limit, or the semiconvergent
// after it.
std::pair<double, double> closestFraction(double x, double limit)
{
    double previousNumerator = 0, previousDenominator = 1;
    double numerator = 1, denominator = 0;
    double rest = x;
    while (true) {
        const double term = std::floor(rest);
        const double nextNumerator = term * numerator + previousNumerator;
        const double nextDenominator = term * denominator + previousDenominator;
        if (nextDenominator > limit) {
            const double steps = std::floor((limit - previousDenominator) / denominator);
            const double semiNumerator = steps * numerator + previousNumerator;
            const double semiDenominator = steps * denominator + previousDenominator;
            const long double error = std::fabs(static_cast<long double>(x) - numerator / denominator);
            const long double semiError = std::fabs(static_cast<long double>(x) - semiNumerator / semiDenominator);
            return steps > 0 && semiError < error ? std::pair(semiNumerator, semiDenominator)
                                                  : std::pair(numerator, denominator);
        }
        previousNumerator = std::exchange(numerator, nextNumerator);
        previousDenominator = std::exchange(denominator, nextDenominator);
        const double remainder = rest - term;
        if (remainder <= 0 || numerator / denominator == x)
            return {numerator, denominator};
        rest = 1 / remainder;
    }
}

// The placeholders ('0', '#' or '?') of the digit items at `slots`.
using Slots = std::vector<std::pair<std::size_t, char>>;

// Writes `digits` right-aligned into the placeholders at `slots` of `pieces`: digits beyond the
// placeholders go in front of the first one, and with `isGrouped` a comma follows every third
// digit from the right.
void fillRightAligned(std::vector<std::string>& pieces, const Slots& slots, std::string_view digits,
                      bool isGrouped = false)
{
    const std::size_t count = slots.size();
    const std::size_t size = digits.size();
    const auto append = [&](std::string& piece, char digit, std::size_t position) {
        piece += digit;
        if (isGrouped && position > 0 && position % 3 == 0)
            piece += ',';
    };
    for (std::size_t k = 0; k < count; ++k) {
        const auto [slot, placeholder] = slots[k];
        std::string& piece = pieces[slot];
        const std::size_t position = count - 1 - k;  // from the right
        if (k == 0)
            for (std::size_t extra = size; extra > count; --extra)
                append(piece, digits[size - extra], extra - 1);
        if (position < size)
            append(piece, digits[size - 1 - position], position);
        else if (placeholder == '0')
            append(piece, '0', position);
        else
            piece += padding(placeholder);
    }
}

// Writes `digits` left-aligned into the placeholders at `slots`; digits beyond them go after the
// last one.
void fillLeftAligned(std::vector<std::string>& pieces, const Slots& slots, std::string_view digits)
{
    for (std::size_t k = 0; k < slots.size(); ++k) {
        std::string& piece = pieces[slots[k].first];
        if (k < digits.size())
            piece += digits[k];
        else
            piece += padding(slots[k].second);
        if (k + 1 == slots.size() && digits.size() > slots.size())
            piece.append(digits.substr(slots.size()));
    }
}

// Writes the places after a point: trailing zeros where the placeholder is '#' or '?' show as
// nothing or a space.
void fillPlaces(std::vector<std::string>& pieces, const Slots& slots, std::string_view places)
{
    std::size_t shown = slots.size();
    while (shown > 0 && places[shown - 1] == '0' && slots[shown - 1].second != '0')
        --shown;
    for (std::size_t k = 0; k < slots.size(); ++k)
        pieces[slots[k].first] += k < shown ? std::string(1, places[k]) : std::string(padding(slots[k].second));
}

std::string joined(const std::vector<std::string>& pieces, bool isNegative)
{
    std::string text = isNegative ? "-" : "";
    for (const std::string& piece : pieces)
        text += piece;
    return text;
}

}  // namespace

std::optional<NumberPattern> NumberPattern::fromTokens(const std::vector<Token>& tokens)
{
    NumberPattern pattern;
    std::vector<Item>& items = pattern.items_;
    const auto literal = [&items](std::string text) { items.push_back({Kind::literal, 0, std::move(text)}); };
    const auto isDigitToken = [](const Token& token) {
        return token.type == 'n' || token.type == '?' || token.type == 'D';
    };
    bool hasText = false;
    for (std::size_t index = 0; index < tokens.size(); ++index) {
        const Token& token = tokens[index];
        switch (token.type) {
        case 'n':
            for (std::size_t at = 0; at < token.text.size(); ++at) {
                const char c = token.text[at];
                if (c == '0' || c == '#' || c == '?')
                    items.push_back({Kind::digit, c, {}});
                else if (c == '.')
                    items.push_back({Kind::point, 0, {}});
                else if (c == ',')
                    items.push_back({Kind::comma, 0, {}});
                else if (c == '%')
                    items.push_back({Kind::percent, 0, {}});
                else if ((c == 'E' || c == 'e') && at + 1 < token.text.size() &&
                         (token.text[at + 1] == '+' || token.text[at + 1] == '-'))
                    items.push_back({Kind::exponent, token.text[at + 1], std::string(1, c)}), ++at;
                else if (c == 'E' || c == 'e')
                    items.push_back({Kind::exponent, '+', std::string(1, c)});  // the sign is shown, as for E+
                else
                    literal(std::string(1, c));
            }
            break;
        case '?':
            items.insert(items.end(), token.text.size(), Item{Kind::digit, '?', {}});
            break;
        case 'D':
            if (!items.empty() && items.back().kind == Kind::slash)
                items.push_back({Kind::denominator, 0, token.text});
            else
                literal(token.text);
            break;
        case 't':
            if (token.text == "/" && !items.empty() && items.back().kind == Kind::digit && index + 1 < tokens.size() &&
                isDigitToken(tokens[index + 1]))
                items.push_back({Kind::slash, 0, {}});
            else
                literal(token.text);
            break;
        case '@':
            hasText = true;
            literal(token.text);
            break;
        default:
            literal(token.text);
            break;
        }
    }
    pattern.classify();
    // The library fails to place a number beside a '@'.
    if (hasText && pattern.hasPlaceholders())
        return std::nullopt;
    return pattern;
}

void NumberPattern::classify()
{
    const auto find = [this](Kind kind, std::size_t from = 0) {
        for (std::size_t at = from; at < items_.size(); ++at)
            if (items_[at].kind == kind)
                return at;
        return items_.size();
    };
    const auto isDigitAt = [this](std::size_t at) { return at < items_.size() && items_[at].kind == Kind::digit; };
    const auto digitsIn = [&](std::size_t from, std::size_t to) {
        Slots digits;
        for (std::size_t at = from; at < to; ++at)
            if (isDigitAt(at))
                digits.emplace_back(at, items_[at].placeholder);
        return digits;
    };
    for (const Item& item : items_)
        if (item.kind == Kind::percent)
            scale_ += 2;

    const std::size_t slash = find(Kind::slash);
    if (slash < items_.size()) {
        layout_ = Layout::fraction;
        std::size_t numeratorStart = slash;
        while (numeratorStart > 0 && isDigitAt(numeratorStart - 1))
            --numeratorStart;
        parts_.whole = digitsIn(0, numeratorStart);
        parts_.fraction = digitsIn(numeratorStart, slash);
        for (std::size_t at = slash + 1; isDigitAt(at); ++at)
            parts_.exponent.emplace_back(at, items_[at].placeholder);
        settleCommas(numeratorStart);
        return;
    }
    const std::size_t exponent = find(Kind::exponent);
    const std::size_t point = std::min(find(Kind::point), exponent);
    parts_.whole = digitsIn(0, point);
    parts_.fraction = digitsIn(point, exponent);
    if (exponent < items_.size() && !(parts_.whole.empty() && parts_.fraction.empty())) {
        layout_ = Layout::scientific;
        parts_.exponent = digitsIn(exponent, items_.size());
    } else if (!parts_.whole.empty() || !parts_.fraction.empty()) {
        layout_ = Layout::decimal;
        parts_.fraction = digitsIn(point, items_.size());
        if (exponent < items_.size())
            items_[exponent] = {Kind::literal, 0, items_[exponent].text + items_[exponent].placeholder};
    }
    // A second point is a literal one.
    for (std::size_t at = find(Kind::point, point + 1); at < items_.size(); at = find(Kind::point, at + 1))
        items_[at] = {Kind::literal, 0, "."};
    settleCommas(point);
}

// A comma between whole digits groups them by thousands; commas right after the last digit
// divide the number by a thousand each; any other comma is a literal one.
void NumberPattern::settleCommas(std::size_t zoneEnd)
{
    enum class Role { grouping, scaling, literal };
    std::vector<std::pair<std::size_t, Role>> commas;
    std::optional<std::size_t> lastDigit;
    bool isRightAfterDigits = false;
    for (std::size_t at = 0; at < items_.size(); ++at) {
        const Kind kind = items_[at].kind;
        if (kind == Kind::digit) {
            lastDigit = at;
            isRightAfterDigits = true;
            continue;
        }
        if (kind != Kind::comma) {
            isRightAfterDigits = isRightAfterDigits && kind == Kind::percent;
            continue;
        }
        std::optional<std::size_t> nextDigit;
        for (std::size_t next = at + 1; next < items_.size() && !nextDigit; ++next) {
            if (items_[next].kind == Kind::digit)
                nextDigit = next;
            else if (items_[next].kind != Kind::comma && items_[next].kind != Kind::literal)
                break;
        }
        const bool isBetweenDigits = lastDigit && nextDigit && at < zoneEnd && *nextDigit < zoneEnd;
        const bool isTrailing = lastDigit && isRightAfterDigits && !nextDigit;
        commas.emplace_back(at, isBetweenDigits ? Role::grouping : isTrailing ? Role::scaling : Role::literal);
    }
    for (const auto& [at, role] : commas) {
        isGrouped_ = isGrouped_ || role == Role::grouping;
        scale_ -= role == Role::scaling ? 3 : 0;
        items_[at] = {Kind::literal, 0, role == Role::literal ? "," : ""};
    }
}

std::vector<std::string> NumberPattern::pieces() const
{
    std::vector<std::string> pieces;
    pieces.reserve(items_.size());
    for (const Item& item : items_)
        pieces.push_back(item.kind == Kind::literal || item.kind == Kind::denominator ? item.text
                         : item.kind == Kind::point                                   ? "."
                         : item.kind == Kind::slash                                   ? "/"
                         : item.kind == Kind::percent                                 ? "%"
                                                                                      : "");
    return pieces;
}

std::string NumberPattern::format(double magnitude, bool isNegative) const
{
    switch (layout_) {
    case Layout::decimal:
        return decimalText(magnitude, isNegative);
    case Layout::scientific:
        return scientificText(magnitude, isNegative);
    case Layout::fraction:
        return fractionText(magnitude, isNegative);
    case Layout::none:
        break;
    }
    std::string text;
    for (const std::string& piece : pieces())
        text += piece;
    return text;
}

std::string NumberPattern::decimalText(double magnitude, bool isNegative) const
{
    const auto places = static_cast<int>(parts_.fraction.size());
    const ShownDigits shown = shownDigits(magnitude).shifted(scale_).roundedTo(places);
    std::vector<std::string> pieces = this->pieces();
    if (parts_.whole.empty()) {
        // ".00": the whole digits stand before the point.
        const auto point =
            std::find_if(items_.begin(), items_.end(), [](const Item& item) { return item.kind == Kind::point; });
        pieces[static_cast<std::size_t>(point - items_.begin())].insert(0, shown.wholeDigits());
    } else {
        fillRightAligned(pieces, parts_.whole, shown.wholeDigits(), isGrouped_);
    }
    fillPlaces(pieces, parts_.fraction, shown.fractionDigits(places));
    return joined(pieces, isNegative && !shown.isZero());
}

std::string NumberPattern::scientificText(double magnitude, bool isNegative) const
{
    const auto places = static_cast<int>(parts_.fraction.size());
    const auto wholeCount = static_cast<int>(parts_.whole.size());
    // With '#' among several whole digits, the exponent is a multiple of their count: "##0.0E+0"
    // shows 12345 as 12.3E+3.
    const bool isEngineering = wholeCount > 1 && std::any_of(parts_.whole.begin(), parts_.whole.end(),
                                                             [](const auto& slot) { return slot.second == '#'; });
    const int period = isEngineering ? wholeCount : 1;
    const ShownDigits shown = shownDigits(magnitude).shifted(scale_);
    int exponent = 0;
    ShownDigits mantissa;
    if (!shown.isZero()) {
        const int leading = shown.leadingExponent();
        exponent = isEngineering ? (leading >= 0 ? leading : leading - period + 1) / period * period
                                 : leading - wholeCount + 1;
        mantissa = shown.shifted(-exponent).roundedTo(places);
        if (mantissa.pointPosition > wholeCount) {
            exponent += period;
            mantissa = shown.shifted(-exponent).roundedTo(places);
        }
    }
    std::vector<std::string> pieces = this->pieces();
    // A mantissa shows one whole digit at least: 0 as 0.E+00 under "#.###E+00".
    const std::string wholeDigits = mantissa.wholeDigits();
    fillRightAligned(pieces, parts_.whole, wholeDigits.empty() && wholeCount > 0 ? "0" : wholeDigits);
    fillPlaces(pieces, parts_.fraction, mantissa.fractionDigits(places));
    const std::string exponentDigits = std::to_string(std::abs(exponent));
    for (std::size_t at = 0; at < items_.size(); ++at) {
        const Item& item = items_[at];
        if (item.kind == Kind::exponent)
            pieces[at] = item.text +
                         (exponent < 0              ? "-"
                          : item.placeholder == '+' ? "+"
                                                    : "") +
                         (parts_.exponent.empty() ? exponentDigits : "");
    }
    fillRightAligned(pieces, parts_.exponent, exponentDigits);
    return joined(pieces, isNegative && !mantissa.isZero());
}

std::string NumberPattern::fractionText(double magnitude, bool isNegative) const
{
    const double value = magnitude * std::pow(10.0, scale_);
    // A percentage of a number near the largest double passes it; no fraction is that close.
    if (!std::isfinite(value))
        return generalNumberText(isNegative ? -value : value);
    const bool isMixed = !parts_.whole.empty();
    const auto fixed =
        std::find_if(items_.begin(), items_.end(), [](const Item& item) { return item.kind == Kind::denominator; });
    double whole = isMixed ? std::floor(value) : 0;
    double numerator = 0;
    double denominator = 1;
    if (fixed != items_.end()) {
        // A denominator past the largest double counts as 1, not as a thrown error.
        denominator = std::strtod(fixed->text.c_str(), nullptr);
        if (!std::isfinite(denominator))
            denominator = 1;
        numerator = std::floor((value - whole) * denominator + 0.5);
    } else {
        const auto digits = static_cast<int>(std::min<std::size_t>(parts_.exponent.size(), 7));
        std::tie(numerator, denominator) = closestFraction(value - whole, std::pow(10.0, digits) - 1);
    }
    if (isMixed && numerator >= denominator) {
        ++whole;
        numerator = 0;
    }
    std::vector<std::string> pieces = this->pieces();
    if (isMixed)
        fillRightAligned(pieces, parts_.whole,
                         whole > 0        ? wholeNumberText(whole)
                         : numerator == 0 ? "0"
                                          : "",
                         isGrouped_);
    if (isMixed && numerator == 0) {
        // A whole number: the fraction is left blank, as wide as its placeholders and slash.
        for (std::size_t at = parts_.fraction.front().first; at < items_.size(); ++at) {
            const Kind kind = items_[at].kind;
            if (kind == Kind::digit || kind == Kind::slash)
                pieces[at] = " ";
            else if (kind == Kind::denominator)
                pieces[at].clear();
        }
    } else {
        fillRightAligned(pieces, parts_.fraction, wholeNumberText(numerator));
        if (fixed == items_.end())
            fillLeftAligned(pieces, parts_.exponent, wholeNumberText(denominator));
    }
    return joined(pieces, isNegative && (whole > 0 || numerator > 0));
}

}  // namespace rowlark::workbook::formatting
