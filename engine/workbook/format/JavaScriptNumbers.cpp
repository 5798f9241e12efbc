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

// Math.round: the nearest integer, halves upwards.
double jsRound(double value)
{
    const double below = std::floor(value);
    return value - below >= 0.5 ? below + 1 : below;
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

}  // namespace rowlark::workbook::formatting
