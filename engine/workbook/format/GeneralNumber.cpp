#include "engine/workbook/format/GeneralNumber.h"

#include <charconv>
#include <cmath>

#include "engine/workbook/format/ShownDigits.h"

// "General" as spreadsheets write a cell's text: up to 15 significant digits, in plain decimal
// from 1e-4 up to 2^53, below that while at most 16 places after the point suffice from 1e-9
// on, in scientific notation otherwise (E-10, E+016: LibreOffice's widths of the exponent).

namespace rowlark::workbook {
namespace formatting {
namespace {

constexpr double largestPlainNumber = 9007199254740992.0;  // 2^53
constexpr double largestWholeNumber = 1e15;

std::string plainText(const ShownDigits& shown)
{
    std::string text = shown.wholeDigits();
    if (text.empty())
        text = "0";
    const int places = static_cast<int>(shown.digits.size()) - shown.pointPosition;
    if (places > 0)
        text += '.' + shown.fractionDigits(places);
    return text;
}

std::string scientificText(const ShownDigits& shown, std::size_t exponentDigits)
{
    std::string text(1, shown.digits.front());
    if (shown.digits.size() > 1)
        text += '.' + shown.digits.substr(1);
    const int exponent = shown.leadingExponent();
    const std::string digits = std::to_string(std::abs(exponent));
    text += exponent < 0 ? "E-" : "E+";
    text.append(digits.size() < exponentDigits ? exponentDigits - digits.size() : 0, '0');
    return text + digits;
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
    using formatting::ShownDigits;
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    const double magnitude = std::abs(value);
    if (magnitude < formatting::largestWholeNumber && value == std::trunc(value)) {
        char buffer[24];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value)).ptr);
    }
    const ShownDigits shown = formatting::shownDigits(magnitude);
    const std::string sign = value < 0 ? "-" : "";
    if (magnitude > formatting::largestPlainNumber)
        return sign + formatting::scientificText(shown, 3);
    const int exponent = shown.leadingExponent();
    const int places = static_cast<int>(shown.digits.size()) - shown.pointPosition;
    if (exponent >= -4 || (exponent >= -9 && places <= 16))
        return sign + formatting::plainText(shown);
    return sign + formatting::scientificText(shown, 2);
}

}  // namespace rowlark::workbook
