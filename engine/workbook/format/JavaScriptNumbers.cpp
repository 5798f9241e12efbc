#include "engine/workbook/format/JavaScriptNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/workbook/format/FormatText.h"

namespace rowlark::workbook::formatting {
namespace {

Digits scientificDigits(const char* begin, const char* end)
{
    Digits result;
    const char* e = std::find(begin, end, 'e');
    for (const char* p = begin; p != e; ++p)
        if (*p != '.')
            result.digits += *p;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, result.exponent);
    return result;
}

// How many decimal places the exact value of a finite double has: a value m × 2^-k with m odd
// ends exactly k places after the point (with a 5).
int exactDecimalPlaces(double magnitude)
{
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    if (mantissa == 0)
        return 0;
    while ((mantissa & 1) == 0) {
        mantissa >>= 1;
        ++exponent;
    }
    return exponent >= 0 ? 0 : -exponent;
}

// Adds one unit in the last place of a decimal text of digits and at most one point.
void incrementDecimal(std::string& text)
{
    for (std::size_t i = text.size(); i-- > 0;) {
        if (text[i] == '.')
            continue;
        if (text[i] != '9') {
            ++text[i];
            return;
        }
        text[i] = '0';
    }
    text.insert(text.begin(), '1');
}

// JavaScript rounds the exact value half away from zero where the C++ library rounds half to
// even; the two differ only on an exact tie.
std::string fixedDigits(double magnitude, int places)
{
    char buffer[420];
    if (exactDecimalPlaces(magnitude) == places + 1) {
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, places + 1).ptr;
        std::string text(buffer, end - (places == 0 ? 2 : 1));
        incrementDecimal(text);
        return text;
    }
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, places).ptr;
    return std::string(buffer, end);
}

std::string exponentSuffix(int exponent)
{
    return std::string(exponent < 0 ? "e-" : "e+") + std::to_string(std::abs(exponent));
}

}  // namespace

Digits shortestDigits(double magnitude)
{
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific).ptr;
    return scientificDigits(buffer, end);
}

// `precision` significant digits of magnitude (> 0), rounded as JavaScript rounds them.
Digits precisionDigits(double magnitude, int precision)
{
    char buffer[420];
    auto end =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, precision - 1).ptr;
    Digits rounded = scientificDigits(buffer, end);
    // A tie needs exactly one digit more than asked for; the rounded exponent is the exact one or
    // one more.
    const int places = exactDecimalPlaces(magnitude);
    const bool mayTie = places > 0
                            ? rounded.exponent + places == precision || rounded.exponent - 1 + places == precision
                            : rounded.exponent >= precision;
    if (!mayTie)
        return rounded;
    end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, precision).ptr;
    Digits longer = scientificDigits(buffer, end);
    bool isTie = false;
    if (places > 0) {
        isTie = longer.exponent + places == precision && longer.digits.back() == '5';
    } else {
        end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, 0).ptr;
        const std::string_view whole(buffer, static_cast<std::size_t>(end - buffer));
        isTie = whole.size() > static_cast<std::size_t>(precision) &&
                whole[static_cast<std::size_t>(precision)] == '5' &&
                whole.find_first_not_of('0', static_cast<std::size_t>(precision) + 1) == std::string_view::npos;
    }
    if (isTie) {
        Digits result{longer.digits.substr(0, static_cast<std::size_t>(precision)), longer.exponent};
        incrementDecimal(result.digits);
        if (result.digits.size() > static_cast<std::size_t>(precision)) {
            result.digits.pop_back();
            ++result.exponent;
        }
        return result;
    }
    return rounded;
}

// Number.prototype.toString()
std::string jsText(double value)
{
    // Below 2^53 the shortest digits of a whole number are all its digits.
    if (value == std::trunc(value) && std::abs(value) < 9007199254740992.0) {
        char buffer[24];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value)).ptr);
    }
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0)
        return "0";
    const std::string sign = value < 0 ? "-" : "";
    const Digits shortest = shortestDigits(std::abs(value));
    const int k = static_cast<int>(shortest.digits.size());
    const int n = shortest.exponent + 1;
    if (k <= n && n <= 21)
        return sign + shortest.digits + std::string(static_cast<std::size_t>(n - k), '0');
    if (0 < n && n <= 21)
        return sign + shortest.digits.substr(0, static_cast<std::size_t>(n)) + "." +
               shortest.digits.substr(static_cast<std::size_t>(n));
    if (-6 < n && n <= 0)
        return sign + "0." + std::string(static_cast<std::size_t>(-n), '0') + shortest.digits;
    const std::string rest = k > 1 ? "." + shortest.digits.substr(1) : "";
    return sign + shortest.digits.substr(0, 1) + rest + exponentSuffix(n - 1);
}

// Number.prototype.toFixed(places)
std::string jsFixed(double value, int places)
{
    if (!(std::abs(value) < 1e21))
        return jsText(value);
    return (value < 0 ? "-" : "") + fixedDigits(std::abs(value), places);
}

// Number.prototype.toPrecision(precision)
std::string jsPrecision(double value, int precision)
{
    if (!std::isfinite(value))
        return jsText(value);
    if (value == 0)
        return precision > 1 ? "0." + std::string(static_cast<std::size_t>(precision - 1), '0') : "0";
    const std::string sign = value < 0 ? "-" : "";
    const Digits rounded = precisionDigits(std::abs(value), precision);
    const int e = rounded.exponent;
    const std::string& d = rounded.digits;
    if (e < -6 || e >= precision)
        return sign + d.substr(0, 1) + (precision > 1 ? "." + d.substr(1) : "") + exponentSuffix(e);
    if (e == precision - 1)
        return sign + d;
    if (e >= 0)
        return sign + d.substr(0, static_cast<std::size_t>(e + 1)) + "." + d.substr(static_cast<std::size_t>(e + 1));
    return sign + "0." + std::string(static_cast<std::size_t>(-(e + 1)), '0') + d;
}

// Number.prototype.toExponential(places)
std::string jsExponential(double value, int places)
{
    if (!std::isfinite(value))
        return jsText(value);
    const std::string sign = value < 0 ? "-" : "";
    const Digits rounded = value == 0 ? Digits{std::string(static_cast<std::size_t>(places + 1), '0'), 0}
                                      : precisionDigits(std::abs(value), places + 1);
    const std::string& d = rounded.digits;
    return sign + d.substr(0, 1) + (places > 0 ? "." + d.substr(1) : "") + exponentSuffix(rounded.exponent);
}

// Math.round: the nearest integer, halves upwards.
double jsRound(double value)
{
    const double below = std::floor(value);
    return value - below >= 0.5 ? below + 1 : below;
}

// (value | 0) === value
bool isInt32(double value)
{
    return value >= -2147483648.0 && value <= 2147483647.0 && value == std::trunc(value);
}

// Math.pow(10, exponent) as the script engine computes it: by repeated squaring for whole
// exponents up to 1000 (exact up to 22).
double powerOfTen(long exponent)
{
    if (exponent < 0 || exponent > 1000)
        return std::pow(10.0, static_cast<double>(exponent));
    double result = 1;
    double base = 10;
    for (; exponent != 0; exponent >>= 1) {
        if (exponent & 1)
            result *= base;
        base *= base;
    }
    return result;
}

double log10Floor(double value)
{
    return std::floor(std::log(value) * 0.4342944819032518);
}

std::string pad0(const std::string& text, long width)
{
    return static_cast<long>(text.size()) >= width ? text
                                                   : repeated('0', width - static_cast<long>(text.size())) + text;
}

std::string pad0(double value, long width)
{
    return pad0(jsText(value), width);
}

std::string pad0r(double value, long width)
{
    return pad0(jsText(jsRound(value)), width);
}

// '#' stands for nothing, '?' for a space.
std::string hashq(std::string_view text)
{
    std::string result;
    for (const char c : text) {
        if (c == '?')
            result += ' ';
        else if (c != '#')
            result += c;
    }
    return result;
}

std::string commaify(const std::string& text)
{
    const std::size_t size = text.size();
    if (size <= 3)
        return text;
    std::size_t j = size % 3;
    std::string result = text.substr(0, j);
    for (; j < size; j += 3)
        result += (result.empty() ? "" : ",") + text.substr(j, 3);
    return result;
}

// "" + Math.round(value × 10^places) / 10^places
std::string rnd(double value, long places)
{
    const double scale = powerOfTen(places);
    return jsText(jsRound(value * scale) / scale);
}

// The places-digit fraction of value, 0 when it rounds up to a whole unit.
double dec(double value, long places)
{
    const double rounded = jsRound((value - std::floor(value)) * powerOfTen(places));
    return places < static_cast<long>(jsText(rounded).size()) ? 0 : rounded;
}

int carry(double value, long places)
{
    const double rounded = jsRound((value - std::floor(value)) * powerOfTen(places));
    return places < static_cast<long>(jsText(rounded).size()) ? 1 : 0;
}

}  // namespace rowlark::workbook::formatting
