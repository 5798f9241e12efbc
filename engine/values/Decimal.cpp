#include "engine/values/Decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <vector>

namespace rowlark::values {
namespace {

constexpr std::size_t mostExponentDigits = 18;
constexpr std::int64_t largestExponent = 999'999'999'999'999'999;
constexpr std::int64_t leastPositionalExponent = -6;
constexpr std::int64_t firstScientificExponent = 21;

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool areDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), isDigit);
}

std::string_view withoutLeadingZeros(std::string_view digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : digits.substr(first);
}

// Removes trailing zeros from `value.digits`, raising the exponent for each.
void normalize(Decimal& value)
{
    const std::size_t last = value.digits.find_last_not_of('0');
    if (last == std::string::npos) {
        value = Decimal{};
        return;
    }
    value.exponent += static_cast<std::int64_t>(value.digits.size() - 1 - last);
    value.digits.resize(last + 1);
}

// A term of a sum: a value and the sign it enters with.
struct Term {
    const Decimal* value;
    bool isSubtracted;

    bool isNegative() const { return value->isNegative != isSubtracted; }
};

// The exact sign of the sum of terms whose digits all lie within [low, high].
int signOfAlignedSum(std::span<const Term> terms, std::int64_t low, std::int64_t high)
{
    std::vector<int> places(static_cast<std::size_t>(high - low + 1), 0);
    for (const Term& term : terms) {
        const int sign = term.isNegative() ? -1 : 1;
        const std::string& digits = term.value->digits;
        for (std::size_t index = 0; index < digits.size(); ++index) {
            const std::int64_t power = term.value->exponent + static_cast<std::int64_t>(digits.size() - 1 - index);
            places[static_cast<std::size_t>(power - low)] += sign * (digits[index] - '0');
        }
    }
    // Carrying leaves every place in 0..9 and the sum's sign in the final carry, or, without one,
    // in whether any place is left.
    int carry = 0;
    bool isAnyLeft = false;
    for (int& place : places) {
        place += carry;
        carry = place >= 0 ? place / 10 : -((9 - place) / 10);
        place -= carry * 10;
        isAnyLeft = isAnyLeft || place != 0;
    }
    if (carry != 0)
        return carry > 0 ? 1 : -1;
    return isAnyLeft ? 1 : 0;
}

// The exact sign of a sum of a few terms, however far apart their exponents. Terms are summed in
// clusters whose digits lie close together, the largest first: a cluster whose sum is not zero is at
// least 10^low in size, more than every smaller term together, so it decides.
int signOfSum(std::vector<Term> terms)
{
    std::erase_if(terms, [](const Term& term) { return term.value->isZero(); });
    std::sort(terms.begin(), terms.end(),
              [](const Term& a, const Term& b) { return a.value->leadingExponent() > b.value->leadingExponent(); });
    std::size_t first = 0;
    while (first < terms.size()) {
        const std::int64_t high = terms[first].value->leadingExponent() + 1;
        std::int64_t low = terms[first].value->exponent;
        std::size_t end = first + 1;
        while (end < terms.size() && terms[end].value->leadingExponent() >= low - 2) {
            low = std::min(low, terms[end].value->exponent);
            ++end;
        }
        const int sign = signOfAlignedSum(std::span(terms).subspan(first, end - first), low, high);
        if (sign != 0)
            return sign;
        first = end;
    }
    return 0;
}

// Whether |a − b| ≤ tolerance.
bool isWithin(const Decimal& a, const Decimal& b, const Decimal& tolerance)
{
    return signOfSum({{&tolerance, false}, {&a, true}, {&b, false}}) >= 0 &&
           signOfSum({{&tolerance, false}, {&a, false}, {&b, true}}) >= 0;
}

std::strong_ordering compareMagnitudes(const Decimal& a, const Decimal& b)
{
    if (a.isZero() || b.isZero())
        return !a.isZero() <=> !b.isZero();
    if (a.leadingExponent() != b.leadingExponent())
        return a.leadingExponent() <=> b.leadingExponent();
    // Same leading power: digit strings compare as the values do, a shorter prefix being smaller.
    return a.digits.compare(b.digits) <=> 0;
}

}  // namespace

std::string Decimal::text() const
{
    if (isZero())
        return "0";
    std::string result = isNegative ? "-" : "";
    const std::int64_t leading = leadingExponent();
    if (leading < leastPositionalExponent || leading >= firstScientificExponent) {
        result += digits.front();
        if (digits.size() > 1)
            result.append(".").append(digits, 1);
        result += leading < 0 ? "E-" : "E+";
        result +=
            std::to_string(leading < 0 ? -static_cast<std::uint64_t>(leading) : static_cast<std::uint64_t>(leading));
        return result;
    }
    if (exponent >= 0)
        return result.append(digits).append(static_cast<std::size_t>(exponent), '0');
    const std::int64_t integerLength = static_cast<std::int64_t>(digits.size()) + exponent;
    if (integerLength > 0)
        return result.append(digits, 0, static_cast<std::size_t>(integerLength))
            .append(".")
            .append(digits, static_cast<std::size_t>(integerLength));
    return result.append("0.").append(static_cast<std::size_t>(-integerLength), '0').append(digits);
}

std::optional<Decimal> Decimal::fromParts(bool negative, std::string_view integerDigits,
                                          std::string_view fractionDigits, bool isExponentNegative,
                                          std::string_view exponentDigits, std::int64_t shift)
{
    const std::string_view significantExponent = withoutLeadingZeros(exponentDigits);
    if (significantExponent.size() > mostExponentDigits)
        return std::nullopt;
    std::int64_t written = 0;
    std::from_chars(significantExponent.data(), significantExponent.data() + significantExponent.size(), written);
    Decimal value;
    value.digits.reserve(integerDigits.size() + fractionDigits.size());
    value.digits.append(withoutLeadingZeros(integerDigits));
    value.digits.append(value.digits.empty() ? withoutLeadingZeros(fractionDigits) : fractionDigits);
    value.exponent =
        (isExponentNegative ? -written : written) - static_cast<std::int64_t>(fractionDigits.size()) - shift;
    value.isNegative = negative;
    normalize(value);
    // The text of the value writes its leading digit's power, which must read back too.
    if (value.leadingExponent() > largestExponent || value.leadingExponent() < -largestExponent)
        return std::nullopt;
    return value;
}

std::optional<Decimal> Decimal::fromPlainText(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t exponentMark = text.find_first_of("eE");
    std::string_view mantissa = text.substr(0, exponentMark);
    std::string_view exponent =
        exponentMark == std::string_view::npos ? std::string_view() : text.substr(exponentMark + 1);
    bool isExponentNegative = false;
    if (exponentMark != std::string_view::npos) {
        if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) {
            isExponentNegative = exponent.front() == '-';
            exponent.remove_prefix(1);
        }
        if (exponent.empty() || !areDigits(exponent))
            return std::nullopt;
    }
    const std::size_t point = mantissa.find('.');
    const std::string_view integer = mantissa.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
    if (integer.empty() && fraction.empty())
        return std::nullopt;
    if (!areDigits(integer) || !areDigits(fraction))
        return std::nullopt;
    return fromParts(negative, integer, fraction, isExponentNegative, exponent);
}

std::optional<Decimal> Decimal::fromDouble(double value)
{
    std::array<char, 32> buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (written.ec != std::errc())
        return std::nullopt;
    return fromPlainText(std::string_view(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data())));
}

std::strong_ordering compare(const Decimal& a, const Decimal& b)
{
    const int signA = a.isZero() ? 0 : a.isNegative ? -1 : 1;
    const int signB = b.isZero() ? 0 : b.isNegative ? -1 : 1;
    if (signA != signB)
        return signA <=> signB;
    return signA >= 0 ? compareMagnitudes(a, b) : compareMagnitudes(b, a);
}

Decimal absolute(Decimal value)
{
    value.isNegative = false;
    return value;
}

Decimal product(const Decimal& a, const Decimal& b)
{
    if (a.isZero() || b.isZero())
        return {};
    std::vector<int> places(a.digits.size() + b.digits.size(), 0);
    for (std::size_t i = 0; i < a.digits.size(); ++i)
        for (std::size_t j = 0; j < b.digits.size(); ++j)
            places[(a.digits.size() - 1 - i) + (b.digits.size() - 1 - j)] += (a.digits[i] - '0') * (b.digits[j] - '0');
    int carry = 0;
    for (int& place : places) {
        place += carry;
        carry = place / 10;
        place %= 10;
    }
    Decimal result;
    for (auto place = places.rbegin(); place != places.rend(); ++place)
        result.digits += static_cast<char>('0' + *place);
    result.digits = std::string(withoutLeadingZeros(result.digits));
    result.exponent = a.exponent + b.exponent;
    result.isNegative = a.isNegative != b.isNegative;
    normalize(result);
    return result;
}

bool isWithinTolerance(const Decimal& a, const Decimal& b, const std::optional<Decimal>& absoluteTolerance,
                       const std::optional<Decimal>& relativeTolerance)
{
    if (a == b)
        return true;
    if (absoluteTolerance && isWithin(a, b, *absoluteTolerance))
        return true;
    if (!relativeTolerance)
        return false;
    const Decimal& larger = compareMagnitudes(a, b) >= 0 ? a : b;
    return isWithin(a, b, product(*relativeTolerance, absolute(larger)));
}

}  // namespace rowlark::values
