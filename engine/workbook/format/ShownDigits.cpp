#include "engine/workbook/format/ShownDigits.h"

#include <algorithm>

#include "engine/workbook/format/JavaScriptNumbers.h"

namespace rowlark::workbook::formatting {
namespace {

constexpr int significantDigits = 15;

ShownDigits withoutTrailingZeros(std::string digits, int pointPosition)
{
    const std::size_t last = digits.find_last_not_of('0');
    if (last == std::string::npos)
        return {};
    digits.erase(last + 1);
    return {std::move(digits), pointPosition};
}

}  // namespace

std::string ShownDigits::wholeDigits() const
{
    if (pointPosition <= 0)
        return {};
    std::string whole = digits.substr(0, static_cast<std::size_t>(pointPosition));
    whole.append(static_cast<std::size_t>(pointPosition) - whole.size(), '0');
    return whole;
}

std::string ShownDigits::fractionDigits(int places) const
{
    std::string fraction;
    fraction.reserve(static_cast<std::size_t>(std::max(places, 0)));
    for (int place = 0; place < places; ++place) {
        const int index = pointPosition + place;
        fraction +=
            index >= 0 && index < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(index)] : '0';
    }
    return fraction;
}

ShownDigits ShownDigits::roundedTo(int places) const
{
    const int kept = pointPosition + places;
    if (kept >= static_cast<int>(digits.size()))
        return *this;
    if (kept < 0)
        return {};
    std::string rounded = digits.substr(0, static_cast<std::size_t>(kept));
    int point = pointPosition;
    if (digits[static_cast<std::size_t>(kept)] >= '5') {
        std::size_t at = rounded.size();
        while (at > 0 && rounded[at - 1] == '9')
            rounded[--at] = '0';
        if (at == 0) {
            rounded.insert(rounded.begin(), '1');
            ++point;
        } else {
            ++rounded[at - 1];
        }
    }
    return withoutTrailingZeros(std::move(rounded), point);
}

ShownDigits ShownDigits::shifted(int exponent) const
{
    return isZero() ? *this : ShownDigits{digits, pointPosition + exponent};
}

ShownDigits shownDigits(double magnitude)
{
    if (magnitude == 0)
        return {};
    // The shortest digits that read back as the number are its decimal value as typed.
    Digits shortest = shortestDigits(magnitude);
    ShownDigits shown = withoutTrailingZeros(std::move(shortest.digits), shortest.exponent + 1);
    return shown.roundedTo(significantDigits - shown.pointPosition);
}

}  // namespace rowlark::workbook::formatting
