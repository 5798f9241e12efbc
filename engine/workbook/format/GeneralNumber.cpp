#include "engine/workbook/format/GeneralNumber.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/JavaScriptNumbers.h"

namespace rowlark::workbook {
namespace formatting {
namespace {

// o.replace(/(?:\.0*|(\.\d*[1-9])0+)$/, "$1")
std::string stripDecimal(std::string text)
{
    const std::size_t point = text.find('.');
    if (point == std::string::npos)
        return text;
    const std::string_view after = std::string_view(text).substr(point + 1);
    if (allOf(after, "0"))
        text.erase(point);
    else if (allOf(after, "0123456789") && after.back() == '0')
        text.erase(text.find_last_not_of('0') + 1);
    return text;
}

// The mantissa of "General" exponent forms loses its trailing zeros, the exponent gets two digits.
std::string normalizeExponent(std::string text)
{
    const std::size_t e = text.find('E');
    if (e == std::string::npos)
        return text;
    const std::size_t point = text.find('.');
    if (point != std::string::npos && point < e) {
        const std::string_view between = std::string_view(text).substr(point + 1, e - point - 1);
        if (allOf(between, "0"))
            text.erase(point, e - point);
        else if (allOf(between, "0123456789") && between.back() == '0') {
            const std::size_t lastKept = text.find_last_not_of('0', e - 1);
            text.erase(lastKept + 1, e - lastKept - 1);
        }
    }
    const std::size_t size = text.size();
    if (size >= 3 && text[size - 3] == 'E' && (text[size - 2] == '+' || text[size - 2] == '-') &&
        isDigit(text[size - 1]))
        text.insert(size - 1, "0");
    return text;
}

std::string uppercased(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return text;
}

std::string smallExponentText(double value)
{
    const std::size_t width = value < 0 ? 12 : 11;
    std::string text = stripDecimal(jsFixed(value, 12));
    if (text.size() <= width)
        return text;
    text = jsPrecision(value, 10);
    if (text.size() <= width)
        return text;
    return jsExponential(value, 5);
}

std::string largeExponentText(double value)
{
    const std::string text = stripDecimal(jsFixed(value, 11));
    return text.size() > (value < 0 ? 12u : 11u) || text == "0" || text == "-0" ? jsPrecision(value, 6) : text;
}

std::string generalNonIntegerText(double value)
{
    const double exponent = log10Floor(std::abs(value));
    std::string text;
    if (exponent >= -4 && exponent <= -1)
        text = jsPrecision(value, static_cast<int>(10 + exponent));
    else if (std::abs(exponent) <= 9)
        text = smallExponentText(value);
    else if (exponent == 10)
        text = jsFixed(value, 10).substr(0, 12);
    else
        text = largeExponentText(value);
    return stripDecimal(normalizeExponent(uppercased(std::move(text))));
}

// "General" between 1 and 10^9: whichever of the library's two forms it picks is the value
// rounded to ten significant digits, without trailing zeros.
std::string tenDigitText(double value)
{
    const Digits rounded = precisionDigits(std::abs(value), 10);
    const auto wholeDigits = static_cast<std::size_t>(rounded.exponent + 1);
    std::string text = value < 0 ? "-" : "";
    text.append(rounded.digits, 0, wholeDigits);
    const std::size_t fractionEnd = rounded.digits.find_last_not_of('0') + 1;
    if (fractionEnd > wholeDigits) {
        text += '.';
        text.append(rounded.digits, wholeDigits, fractionEnd - wholeDigits);
    }
    return text;
}

}  // namespace

std::string generalText(const CellValue& value)
{
    if (const auto* number = std::get_if<double>(&value))
        return generalNumberText(*number);
    if (const auto* boolean = std::get_if<bool>(&value))
        return *boolean ? "TRUE" : "FALSE";
    return std::get<std::string>(value);
}

}  // namespace formatting

std::string generalNumberText(double value)
{
    if (formatting::isInt32(value)) {
        char buffer[16];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, static_cast<int>(value)).ptr);
    }
    const double magnitude = std::abs(value);
    if (magnitude >= 1 && magnitude < 1e9)
        return formatting::tenDigitText(value);
    return formatting::generalNonIntegerText(value);
}

}  // namespace rowlark::workbook
