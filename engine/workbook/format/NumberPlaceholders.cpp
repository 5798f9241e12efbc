#include "engine/workbook/format/NumberPlaceholders.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/JavaScriptNumbers.h"

namespace rowlark::workbook::formatting {
namespace {

// The last places of the format are commas: the value in thousands.
Text scaledByCommas(char type, std::string_view format, double value)
{
    long index = static_cast<long>(format.size()) - 1;
    while (index >= 1 && format[static_cast<std::size_t>(index - 1)] == ',')
        --index;
    const long commas = static_cast<long>(format.size()) - index;
    return writeNumber(type, format.substr(0, static_cast<std::size_t>(index)), value / powerOfTen(3 * commas));
}

Text percent(char type, std::string_view format, double value)
{
    std::string rest;
    long count = 0;
    for (const char c : format) {
        if (c == '%')
            ++count;
        else
            rest += c;
    }
    const Text text = writeNumber(type, rest, value * powerOfTen(2 * count));
    return text ? *text + repeated('%', count) : text;
}

// fmt.match(/^#+0.0E\+0$/)
bool isEngineeringFormat(std::string_view format)
{
    const std::size_t hashes = format.find_first_not_of('#');
    return hashes != std::string_view::npos && hashes > 0 && format.size() == hashes + 6 && format[hashes] == '0' &&
           format[hashes + 2] == '0' && format.substr(hashes + 3) == "E+0";
}

// o.replace(/^([+-]?)(\d*)\.(\d*)[Ee]/, ...) of the engineering form.
std::string shiftedMantissa(const std::string& text, long period, long ee)
{
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const std::size_t wholeStart = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    if (at >= text.size() || text[at] != '.')
        return text;
    const std::size_t point = at++;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    if (at >= text.size() || (text[at] != 'E' && text[at] != 'e'))
        return text;
    const std::string fraction = text.substr(point + 1, at - point - 1);
    return text.substr(0, wholeStart) + text.substr(wholeStart, point - wholeStart) +
           substr(fraction, 0, (period + ee) % period) + "." + substr(fraction, ee) + "E" + text.substr(at + 1);
}

std::string replaceFirst(std::string text, std::string_view from, std::string_view to)
{
    const std::size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

Text exponential(std::string_view format, double value, bool isInteger)
{
    const long places = indexOf(format, "E") - indexOf(format, ".") - 1;
    std::string text;
    if (isEngineeringFormat(format)) {
        if (value == 0)
            return std::string("0.0E+0");
        if (value < 0) {
            const Text positive = exponential(format, -value, isInteger);
            return positive ? "-" + *positive : positive;
        }
        long period = indexOf(format, ".");
        if (period == -1)
            period = indexOf(format, "E");
        const double magnitude = log10Floor(value);
        long ee = static_cast<long>(std::fmod(magnitude, static_cast<double>(period)));
        if (ee < 0)
            ee += period;
        const long precision = places + 1 + (period + ee) % period;
        if (precision < 1 || precision > 100)
            return std::nullopt;
        text = jsPrecision(value / powerOfTen(ee), static_cast<int>(precision));
        if (text.find('e') == std::string::npos) {
            const auto fakeExponent = static_cast<long>(magnitude);
            if (text.find('.') == std::string::npos)
                text = text.substr(0, 1) + "." + text.substr(1) + "E+" +
                       std::to_string(fakeExponent - static_cast<long>(text.size()) + ee);
            else
                text += "E+" + std::to_string(fakeExponent - ee);
            for (int shifts = 0; !isInteger && startsWith(text, "0."); ++shifts) {
                if (shifts == 100)
                    return std::nullopt;
                text = text.substr(0, 1) + substr(text, 2, period) + "." + substr(text, 2 + period);
                const std::size_t zeros = text.find_first_not_of('0');
                if (zeros != std::string::npos && zeros > 0 && text[zeros] >= '1' && text[zeros] <= '9')
                    text.erase(0, zeros);
                else if (zeros != std::string::npos && zeros > 0 && text[zeros] == '.')
                    text.erase(0, zeros - 1);
            }
            text = replaceFirst(std::move(text), "+-", "-");
        }
        text = shiftedMantissa(text, period, ee);
    } else {
        if (places < 0 || places > 100)
            return std::nullopt;
        text = jsExponential(value, static_cast<int>(places));
    }
    const std::size_t size = text.size();
    if (endsWith(format, "E+00") && size >= 3 && text[size - 3] == 'e' &&
        (text[size - 2] == '+' || text[size - 2] == '-') && isDigit(text[size - 1]))
        text.insert(size - 1, "0");
    if (contains(format, "E-") && contains(text, "e+"))
        text = replaceFirst(std::move(text), "e+", "e");
    return replaceFirst(std::move(text), "e", "E");
}

std::string padded(const std::string& text, long width, bool isLeft)
{
    const std::string fill = repeated(' ', width - static_cast<long>(text.size()));
    return isLeft ? fill + text : text + fill;
}

// The parts of a fraction pattern: digits, the spaces around the slash and the denominator.
struct FractionPattern {
    std::string numerator;
    std::string spaceBefore;
    std::string spaceAfter;
    std::string denominator;
};

// /# (\?+)( ?)\/( ?)(\d+)/ anywhere in the format.
std::optional<FractionPattern> fixedDenominatorFraction(std::string_view format)
{
    for (std::size_t at = format.find("# ?"); at != std::string_view::npos; at = format.find("# ?", at + 1)) {
        std::size_t i = at + 2;
        FractionPattern pattern;
        while (i < format.size() && format[i] == '?')
            pattern.numerator += format[i++];
        const auto optionalSpace = [&](std::string& space) {
            if (i < format.size() && format[i] == ' ')
                space = format[i++];
        };
        optionalSpace(pattern.spaceBefore);
        if (i >= format.size() || format[i] != '/')
            continue;
        ++i;
        optionalSpace(pattern.spaceAfter);
        while (i < format.size() && isDigit(format[i]))
            pattern.denominator += format[i++];
        if (!pattern.denominator.empty())
            return pattern;
    }
    return std::nullopt;
}

// /^([#0?]+)( ?)\/( ?)([#0?]+)/, or with `isMixed` /^# ([#0?]+)( ?)\/( ?)([#0?]+)/.
std::optional<FractionPattern> placeholderFraction(std::string_view format, bool isMixed)
{
    if (isMixed) {
        if (!startsWith(format, "# "))
            return std::nullopt;
        format.remove_prefix(2);
    }
    FractionPattern pattern;
    const std::size_t numeratorEnd = std::min(format.find_first_not_of("#0?"), format.size());
    pattern.numerator = format.substr(0, numeratorEnd);
    std::size_t i = numeratorEnd;
    if (i < format.size() && format[i] == ' ')
        pattern.spaceBefore = format[i++];
    if (pattern.numerator.empty() || i >= format.size() || format[i] != '/')
        return std::nullopt;
    ++i;
    if (i < format.size() && format[i] == ' ')
        pattern.spaceAfter = format[i++];
    const std::size_t denominatorEnd = std::min(format.find_first_not_of("#0?", i), format.size());
    pattern.denominator = format.substr(i, denominatorEnd - i);
    if (pattern.denominator.empty())
        return std::nullopt;
    return pattern;
}

// The library's continued-fraction approximation of x with a denominator up to `limit`: whole
// part (when mixed), numerator and denominator.
std::array<double, 3> approximateFraction(double x, double limit, bool isMixed)
{
    const double sign = x < 0 ? -1 : 1;
    double b = x * sign;
    double p2 = 0, p1 = 1, p = 0;
    double q2 = 1, q1 = 0, q = 0;
    while (q1 < limit) {
        const double a = std::floor(b);
        p = a * p1 + p2;
        q = a * q1 + q2;
        if (b - a < 0.00000005)
            break;
        b = 1 / (b - a);
        p2 = p1;
        p1 = p;
        q2 = q1;
        q1 = q;
    }
    if (q > limit) {
        if (q1 > limit) {
            q = q2;
            p = p2;
        } else {
            q = q1;
            p = p1;
        }
    }
    if (!isMixed)
        return {0, sign * p, q};
    const double whole = std::floor(sign * p / q);
    return {whole, sign * p - whole * q, q};
}

Text fixedDenominatorText(const FractionPattern& pattern, double magnitude, const std::string& sign, bool isInteger)
{
    const auto numeratorWidth = static_cast<long>(pattern.numerator.size());
    const auto denominatorWidth = static_cast<long>(pattern.denominator.size());
    if (isInteger)
        return sign + (magnitude == 0 ? "" : jsText(magnitude)) + repeated(' ', numeratorWidth + 2 + denominatorWidth);
    double denominator = 0;
    std::from_chars(pattern.denominator.data(), pattern.denominator.data() + pattern.denominator.size(), denominator);
    const double rounded = jsRound(magnitude * denominator);
    const double whole = std::floor(rounded / denominator);
    const double numerator = rounded - whole * denominator;
    return sign + (whole == 0 ? "" : jsText(whole)) + " " +
           (numerator == 0 ? repeated(' ', numeratorWidth + 1 + denominatorWidth)
                           : padded(jsText(numerator), numeratorWidth, true) + pattern.spaceBefore + "/" +
                                 pattern.spaceAfter + pad0(denominator, denominatorWidth));
}

Text simpleFractionText(const FractionPattern& pattern, double magnitude, const std::string& sign)
{
    const long places = std::min<long>(static_cast<long>(pattern.denominator.size()), 7);
    const auto fraction = approximateFraction(magnitude, powerOfTen(places) - 1, false);
    const Text numerator = writeNumber('n', pattern.numerator, fraction[1]);
    if (!numerator)
        return numerator;
    std::string text = *numerator;
    if (!text.empty() && text.back() == ' ')
        text.back() = '0';
    std::string denominator = padded(jsText(fraction[2]), places, false);
    if (denominator.size() < pattern.denominator.size())
        denominator =
            hashq(substr(pattern.denominator, static_cast<long>(pattern.denominator.size() - denominator.size()))) +
            denominator;
    return sign + text + pattern.spaceBefore + "/" + pattern.spaceAfter + denominator;
}

Text mixedFractionText(const FractionPattern& pattern, double magnitude, const std::string& sign)
{
    const long places =
        std::min<long>(static_cast<long>(std::max(pattern.numerator.size(), pattern.denominator.size())), 7);
    const auto fraction = approximateFraction(magnitude, powerOfTen(places) - 1, true);
    const std::string whole = fraction[0] != 0 ? jsText(fraction[0]) : fraction[1] != 0 ? "" : "0";
    if (fraction[1] == 0)
        return sign + whole + " " +
               repeated(' ',
                        2 * places + 1 + static_cast<long>(pattern.spaceBefore.size() + pattern.spaceAfter.size()));
    return sign + whole + " " + padded(jsText(fraction[1]), places, true) + pattern.spaceBefore + "/" +
           pattern.spaceAfter + padded(jsText(fraction[2]), places, false);
}

// /^#*0*\.([0#]+)/: the [0#] run after the point.
std::optional<std::string_view> decimalPlaceholders(std::string_view format)
{
    std::size_t at = format.find_first_not_of('#');
    if (at == std::string_view::npos)
        return std::nullopt;
    at = format.find_first_not_of('0', at);
    if (at == std::string_view::npos || format[at] != '.')
        return std::nullopt;
    const std::size_t end = std::min(format.find_first_not_of("0#", at + 1), format.size());
    if (end == at + 1)
        return std::nullopt;
    return format.substr(at + 1, end - at - 1);
}

// /^#{1,3},##0(\.?)$/
bool isThousandsInteger(std::string_view format)
{
    const std::size_t hashes = format.find_first_not_of('#');
    if (hashes == 0 || hashes > 3 || hashes == std::string_view::npos)
        return false;
    const std::string_view rest = format.substr(hashes);
    return rest == ",##0" || rest == ",##0.";
}

// /^#,##0\.([#0]*0)$/: the places after the point.
std::optional<std::string_view> thousandsDecimals(std::string_view format)
{
    if (!startsWith(format, "#,##0.") || format.size() < 7)
        return std::nullopt;
    const std::string_view places = format.substr(6);
    if (!allOf(places, "#0") || places.back() != '0')
        return std::nullopt;
    return places;
}

// fmt.replace(/^#,#*,/, "") when fmt.match(/^#,#*,#0/)
std::optional<std::string_view> withoutLeadingGroups(std::string_view format)
{
    if (!startsWith(format, "#,"))
        return std::nullopt;
    const std::size_t end = format.find_first_not_of('#', 2);
    if (end == std::string_view::npos || format[end] != ',' || format.substr(end + 1, 2) != "#0")
        return std::nullopt;
    return format.substr(end + 1);
}

// o.replace(/([^0])0+$/, "$1")
std::string withoutTrailingZeros(std::string text)
{
    const std::size_t kept = text.find_last_not_of('0');
    if (kept != std::string::npos && kept + 1 < text.size())
        text.erase(kept + 1);
    return text;
}

// /^([#0?]+)\.([#0]+)$/ (the integer path does not allow '?' before the point).
Text fixedIntoPlaceholders(std::string_view format, double value, bool isInteger)
{
    const std::size_t point = format.find('.');
    if (point == std::string_view::npos || point == 0 || point + 1 == format.size())
        return std::nullopt;
    if (!allOf(format.substr(0, point), isInteger ? "#0" : "#0?") || !allOf(format.substr(point + 1), "#0"))
        return std::nullopt;
    const auto places = static_cast<int>(std::min<std::size_t>(format.size() - point - 1, 10));
    const std::string text = withoutTrailingZeros(jsFixed(value, places));
    const long textPoint = indexOf(text, ".");
    const long left = static_cast<long>(point) - textPoint;
    const long right = static_cast<long>(format.size()) - static_cast<long>(text.size()) - left;
    return hashq(substr(format, 0, left) + text + substr(format, static_cast<long>(format.size()) - right));
}

// The decimal forms: o.replace(/\.(\d*)$/, ...) pads the places with zeros.
std::string paddedPlaces(std::string text, std::string_view placeholders)
{
    const std::string shown = hashq(placeholders);
    if (text.find('.') == std::string::npos)
        text += "." + shown;
    else if (text.back() == '.')
        text += shown;
    const std::size_t point = text.rfind('.');
    if (allOf(std::string_view(text).substr(point + 1), "0123456789"))
        text += repeated('0', static_cast<long>(shown.size()) - static_cast<long>(text.size() - point - 1));
    return text;
}

// sign + text.replace(/\.(\d*[1-9])0*$/, ".$1").replace(/^(-?\d*)$/, "$1.").replace(/^0\./, ...)
std::string pointOnly(const std::string& sign, std::string text, bool hasLeadingZero)
{
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        const std::string_view after = std::string_view(text).substr(point + 1);
        if (allOf(after, "0123456789") && after.find_first_not_of('0') != std::string_view::npos)
            text.erase(text.find_last_not_of('0') + 1);
    }
    const std::size_t digitsFrom = startsWith(text, "-") ? 1 : 0;
    if (allOf(std::string_view(text).substr(digitsFrom), "0123456789"))
        text += ".";
    if (startsWith(text, "0.") && !hasLeadingZero)
        text.erase(0, 1);
    return sign + text;
}

std::string integerText(double value, bool isInteger)
{
    return isInteger ? jsText(value) : pad0r(value, 0);
}

// write_num_flt and write_num_int: the branches are tried in the library's order.
Text writeNumberForms(char type, std::string_view format, double value, bool isInteger)
{
    if (!format.empty() && format.back() == ',')
        return scaledByCommas(type, format, value);
    if (contains(format, "%"))
        return percent(type, format, value);
    if (contains(format, "E"))
        return exponential(format, value, isInteger);
    if (format.empty())
        return std::nullopt;
    const double magnitude = std::abs(value);
    const std::string sign = value < 0 ? "-" : "";
    const long size = static_cast<long>(format.size());
    if (size >= 2 && allOf(format, "0"))
        return sign + (isInteger ? pad0(magnitude, size) : pad0r(magnitude, size));
    if (allOf(format, "#?")) {
        std::string text = isInteger ? (value == 0 ? "" : jsText(value)) : pad0r(value, 0);
        if (!isInteger && text == "0")
            text.clear();
        return static_cast<long>(text.size()) > size ? text
                                                     : hashq(format.substr(0, format.size() - text.size())) + text;
    }
    if (const auto fraction = fixedDenominatorFraction(format))
        return fixedDenominatorText(*fraction, magnitude, sign, isInteger);
    if (const std::size_t zero = format.find('0'); zero != std::string_view::npos && zero > 0 &&
                                                   allOf(format.substr(0, zero), "#") &&
                                                   allOf(format.substr(zero), "0"))
        return sign + (isInteger ? pad0(magnitude, size - static_cast<long>(zero))
                                 : pad0r(magnitude, size - static_cast<long>(zero)));
    if (const auto places = decimalPlaceholders(format)) {
        const std::string text =
            paddedPlaces(isInteger ? jsText(value) : rnd(value, static_cast<long>(places->size())), *places);
        return contains(format, "0.") || !startsWith(text, "0.") ? text : text.substr(1);
    }
    std::string_view rest = format;
    if (const std::size_t hashes = rest.find_first_not_of('#');
        hashes != std::string_view::npos && hashes > 0 && (rest[hashes] == '0' || rest[hashes] == '.'))
        rest.remove_prefix(hashes);
    if (const std::size_t point = rest.find('.');
        point != std::string_view::npos && allOf(rest.substr(0, point), "0") && allOf(rest.substr(point + 1), "#"))
        return pointOnly(sign,
                         isInteger ? jsText(magnitude) : rnd(magnitude, static_cast<long>(rest.size() - point - 1)),
                         point > 0);
    if (isThousandsInteger(rest))
        return sign + commaify(integerText(magnitude, isInteger));
    if (const auto places = thousandsDecimals(rest)) {
        if (value < 0) {
            const Text positive = writeNumberForms(type, rest, -value, isInteger);
            return positive ? "-" + *positive : positive;
        }
        const auto count = static_cast<long>(places->size());
        if (isInteger)
            return commaify(jsText(value)) + "." + repeated('0', count);
        return commaify(jsText(std::floor(value) + carry(value, count))) + "." + pad0(dec(value, count), count);
    }
    if (const auto shorter = withoutLeadingGroups(rest))
        return writeNumberForms(type, *shorter, value, isInteger);
    // Digit groups split by dashes and telephone numbers are not reproduced.
    if (contains(rest, "-") || contains(rest, "\\"))
        return std::nullopt;
    if (const auto fraction = placeholderFraction(rest, false))
        return simpleFractionText(*fraction, magnitude, sign);
    if (const auto fraction = placeholderFraction(rest, true))
        return mixedFractionText(*fraction, magnitude, sign);
    if (allOf(rest, "#0?")) {
        const std::string text = isInteger ? jsText(value) : pad0r(value, 0);
        if (rest.size() <= text.size())
            return text;
        return hashq(rest.substr(0, rest.size() - text.size())) + text;
    }
    if (const Text text = fixedIntoPlaceholders(rest, value, isInteger))
        return text;
    if (rest == "###,###" || rest == "##,###" || rest == "#,###") {
        const std::string text = commaify(integerText(magnitude, isInteger));
        return text != "0" ? sign + text : std::string();
    }
    if (!isInteger) {
        if (rest == "###,##0.00")
            return writeNumberForms(type, "#,##0.00", value, false);
        if (rest == "###,###.00" || rest == "#,###.00") {
            Text text = writeNumberForms(type, rest == "#,###.00" ? "#,##0.00" : "###,##0.00", value, false);
            if (text && startsWith(*text, "0."))
                text->erase(0, 1);
            return text;
        }
        return std::nullopt;
    }
    const std::size_t point = rest.rfind('.');
    if (point != std::string_view::npos && allOf(rest.substr(point + 1), "0#?")) {
        const Text whole = writeNumberForms(type, rest.substr(0, point), value, true);
        return whole ? *whole + hashq(rest.substr(point)) : whole;
    }
    return std::nullopt;
}

}  // namespace

Text writeNumber(char type, std::string_view format, double value)
{
    return writeNumberForms(type, format, value, isInt32(value));
}

}  // namespace rowlark::workbook::formatting
