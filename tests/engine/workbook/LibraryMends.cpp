#include "tests/engine/workbook/LibraryMends.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

namespace rowlark::testing {
namespace {

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

// A number text, in a wider type than double: "General" rounds the largest double up past it.
std::optional<long double> numberIn(std::string_view text)
{
    if (text.ends_with('.'))
        text.remove_suffix(1);
    const std::string copy(text);
    char* end = nullptr;
    const long double value = std::strtold(copy.c_str(), &end);
    if (text.empty() || end != copy.c_str() + copy.size() || !isDigit(text.back()) ||
        text.find_first_of("iInNxX") != std::string_view::npos ||
        std::isspace(static_cast<unsigned char>(text.front())))
        return std::nullopt;
    return value;
}

// The significant digits of a number text's mantissa.
int significantDigits(std::string_view text)
{
    text = text.substr(0, text.find_first_of("Ee"));
    int count = 0;
    bool isStarted = false;
    for (const char character : text) {
        isStarted = isStarted || (isDigit(character) && character != '0');
        count += isStarted && isDigit(character);
    }
    return std::max(count, 1);
}

// "General" to 15 significant digits: the library cuts numbers to 11 characters (0.333333333),
// writes exponents with one digit (1E+21 for 1E+021) and "@" shows all 17 digits; one of the two
// is the other rounded.
bool isMorePreciseNumber(std::string_view native, std::string_view library)
{
    const auto nativeNumber = numberIn(native);
    const auto libraryNumber = numberIn(library);
    if (!nativeNumber || !libraryNumber)
        return false;
    // The shortest digits of a tiny number (5E-324) read back as the same double as longer ones.
    if (static_cast<double>(*nativeNumber) == static_cast<double>(*libraryNumber))
        return true;
    const auto halfUnit = [](std::string_view text, long double number) {
        if (number == 0)
            return 0.5e-9L;
        return 0.5L * std::pow(10.0L, std::floor(std::log10(std::fabs(number))) - significantDigits(text) + 1);
    };
    const long double tolerance =
        std::max(halfUnit(native, *nativeNumber), halfUnit(library, *libraryNumber)) * (1 + 1e-6L);
    return std::fabs(*nativeNumber - *libraryNumber) <= tolerance;
}

// A formatted number to 15 significant digits ("227,007,389,068,604,000.00"), where the library
// writes the binary value's digits ("227,007,389,068,603,620.00").
bool isFifteenDigitNumber(std::string_view native, std::string_view library)
{
    std::string nativeDigits;
    std::string libraryDigits;
    std::string nativeRest;
    std::string libraryRest;
    for (const char character : native)
        (isDigit(character) ? nativeDigits : nativeRest) += character;
    for (const char character : library)
        (isDigit(character) ? libraryDigits : libraryRest) += character;
    const std::size_t first = nativeDigits.find_first_not_of('0');
    if (nativeRest != libraryRest || first == std::string::npos || nativeDigits.size() - first <= 15 ||
        nativeDigits.find_first_not_of('0', first + 15) != std::string::npos)
        return false;
    const long double nativeNumber = std::strtold(nativeDigits.c_str(), nullptr);
    const long double libraryNumber = std::strtold(libraryDigits.c_str(), nullptr);
    const long double halfUnit = 0.5L * std::pow(10.0L, static_cast<long double>(nativeDigits.size() - first - 15));
    return std::fabs(nativeNumber - libraryNumber) <= halfUnit * (1 + 1e-9L);
}

// From 1e21 on the library writes JavaScript's exponent (1e+21, "1e,+21.00"), Infinity for the
// largest numbers, or cuts them apart; they are written out in full. Below 1e-6 it writes the
// exponent into fixed formats too (1e-10.0000000000).
bool isWrittenOut(std::string_view native, std::string_view library)
{
    std::size_t run = 0;
    std::size_t longest = 0;
    for (const char character : native) {
        if (isDigit(character))
            longest = std::max(longest, ++run);
        else if (character != ',')
            run = 0;
    }
    if (longest >= 22 && native != library)
        return true;
    for (std::size_t at = 1; at + 2 < library.size(); ++at)
        if (library[at] == 'e' && isDigit(library[at - 1]) && (library[at + 1] == '+' || library[at + 1] == '-') &&
            isDigit(library[at + 2]))
            return native.find('e') == std::string_view::npos;
    return false;
}

// The text with every run of digits as one '#', and its digits alone.
std::pair<std::string, std::string> skeletonAndDigits(std::string_view text)
{
    std::pair<std::string, std::string> parts;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!isDigit(text[at])) {
            parts.first += text[at];
        } else {
            parts.second += text[at];
            if (at == 0 || !isDigit(text[at - 1]))
                parts.first += '#';
        }
    }
    return parts;
}

// One unit more in the last digit shown: 1.005 under "0.00" shows as 1.01 (the library's 1.00),
// -2.5 under "0" as -3, -0.5 as -1 (the library's 0).
bool isRoundedAwayFromZero(std::string_view native, std::string_view library)
{
    const auto [nativeSkeleton, nativeDigits] = skeletonAndDigits(native);
    auto [librarySkeleton, libraryDigits] = skeletonAndDigits(library);
    // -0.5 under "$0" as -$1, where the library shows no digit at all ("-$").
    if (libraryDigits.empty()) {
        const std::size_t one = native.find('1');
        return nativeDigits == "1" &&
               std::string(native.substr(0, one)) + std::string(native.substr(one + 1)) == library;
    }
    // 1.005 under "#.##" as 1.01, where the library rounds to 1.00 and shows "1.".
    if (library.ends_with('.') && native.starts_with(library)) {
        const std::string_view places = native.substr(library.size());
        return !places.empty() && places.back() == '1' && places.find_first_not_of('0') == places.size() - 1;
    }
    const bool isLibraryZero = libraryDigits.find_first_not_of('0') == std::string::npos;
    std::size_t at = libraryDigits.size();
    while (at > 0 && libraryDigits[at - 1] == '9')
        libraryDigits[--at] = '0';
    if (at == 0)
        libraryDigits.insert(libraryDigits.begin(), '1');
    else
        ++libraryDigits[at - 1];
    if (libraryDigits == nativeDigits &&
        (nativeSkeleton == librarySkeleton || (isLibraryZero && nativeSkeleton == "-" + librarySkeleton)))
        return true;
    // 9.995 under "#.##" as 10. (the library's 9.99): one unit of the library's last place more.
    const auto withoutPoint = [](std::string_view text) {
        return text.ends_with('.') ? text.substr(0, text.size() - 1) : text;
    };
    const auto nativeNumber = numberIn(withoutPoint(native));
    const auto libraryNumber = numberIn(withoutPoint(library));
    const std::size_t point = library.find('.');
    if (!nativeNumber || !libraryNumber || point == std::string_view::npos)
        return false;
    const long double unit = std::pow(10.0L, -static_cast<long double>(withoutPoint(library).size() - point - 1));
    return std::fabs(std::fabs(*nativeNumber - *libraryNumber) - unit) <= unit * 1e-6L;
}

// A number that shows as zero shows no minus sign (where the library also drops the zero before
// the point: "-$.00" for "$0.00").
bool isZeroWithoutSign(std::string_view native, std::string_view library)
{
    const auto leadingMinuses = [](std::string_view text) {
        return std::min(text.find_first_not_of('-'), text.size());
    };
    return leadingMinuses(library) == leadingMinuses(native) + 1 &&
           native.find_first_of("123456789") == std::string_view::npos &&
           library.find_first_of("123456789") == std::string_view::npos;
}

bool isISODate(std::string_view text)
{
    return text.size() >= 10 && text[4] == '-' && text[7] == '-' && isDigit(text[0]) && isDigit(text[9]) &&
           (text.size() == 10 || text[10] == 'T');
}

// A time of day or a duration (14:07:09, 2:07 PM, 255:10:10, 295 under "[h]", PM under "AM/PM")
// where the library shows a date.
bool isTimeText(std::string_view native, std::string_view library)
{
    if (!isISODate(library) || native.empty())
        return false;
    return std::all_of(native.begin(), native.end(), [](char c) {
        return isDigit(c) || c == ':' || c == '.' || c == ' ' || c == '-' || c == 'A' || c == 'P' || c == 'M' ||
               c == 'a' || c == 'p' || c == 'm';
    });
}

// A number that is no day of the calendar (0, negative, 60 of the 1900 system, past 9999) shows as
// the number, where the library shows 1900-01-00, 1900-02-29, a year past 9999 or nothing.
bool isNumberWithoutDate(std::string_view native, std::string_view library)
{
    const bool isPastYear9999 =
        library.size() > 5 && library[5] == '-' && std::all_of(library.begin(), library.begin() + 5, isDigit);
    const bool isLibraryNoDate =
        library.empty() || library.starts_with("1900-01-00") || library.starts_with("1900-02-29") || isPastYear9999;
    return isLibraryNoDate && (numberIn(native) || native == "INF" || native == "-INF" || native == "NaN");
}

// An ODS date before 1900-03-01 is its own date; the library goes through the 1900 system's day
// numbers, one day off.
bool isEarlyDate(std::string_view native, std::string_view library)
{
    return isISODate(native) && isISODate(library) && native.substr(10) == library.substr(10) &&
           native < "1900-03-01" && library <= "1900-03-01" && native != library;
}

// The text without the spaces, of any kind, at its ends.
std::string trimmed(std::string_view text)
{
    static constexpr std::array<std::string_view, 13> spaces = {" ",      "\t",     "\n",     "\r",     "\u00A0",
                                                                "\u3000", "\u2028", "\u2029", "\u2002", "\u2003",
                                                                "\u2009", "\u202F", "\uFEFF"};
    for (bool isTrimmed = true; isTrimmed;) {
        isTrimmed = false;
        for (const std::string_view space : spaces) {
            if (text.starts_with(space) || text.ends_with(space)) {
                text = text.starts_with(space) ? text.substr(space.size()) : text.substr(0, text.size() - space.size());
                isTrimmed = true;
            }
        }
    }
    return std::string(text);
}

// ODS text keeps its empty lines and the spaces (no-break spaces too) at its ends; the library
// drops them.
bool isKeptSpace(std::string_view native, std::string_view library)
{
    std::string lines;
    for (const char character : trimmed(native))
        if (character != '\n' || lines.empty() || lines.back() != '\n')
            lines += character;
    return lines == trimmed(library);
}

// [$-409] names a locale, not a currency: the library shows a dollar sign for it (and may round
// the number as well).
bool isLocaleWithoutCurrency(std::string_view native, std::string_view library)
{
    const std::size_t dollar = library.find('$');
    if (dollar == std::string_view::npos)
        return false;
    const std::string withoutDollar = std::string(library.substr(0, dollar)) + std::string(library.substr(dollar + 1));
    return withoutDollar == native || mendBetween(native, withoutDollar).has_value();
}

// A format the library cannot apply ("#,##0.00#%", characters it does not know): it shows the
// number as "General" does, or nothing where it gives up on the number; the native text is the
// number formatted.
bool isFormattedWhereTheLibraryFailed(std::string_view native, std::string_view library)
{
    const auto libraryNumber = numberIn(library);
    if (library.empty())
        return native.find_first_of("0123456789") != std::string_view::npos;
    if (!libraryNumber || numberIn(native))
        return false;
    std::string digits;
    for (const char character : native)
        if (isDigit(character) || character == '.' || character == '-')
            digits += character;
    const auto nativeNumber = numberIn(digits);
    if (!nativeNumber)
        return false;
    const bool isPercent = native.find('%') != std::string_view::npos;
    const long double shown = isPercent ? *nativeNumber / 100 : *nativeNumber;
    const std::size_t point = digits.find('.');
    const long double lastDigit =
        std::pow(10.0L, -(point == std::string::npos ? 0.0L : static_cast<long double>(digits.size() - point - 1))) /
        (isPercent ? 100 : 1);
    return std::fabs(std::fabs(shown) - std::fabs(*libraryNumber)) <= lastDigit;
}

// A number past the largest double shows as INF whatever its format; the library shows its
// paragraph (I.NF) or NaN.
bool isInfinity(std::string_view native, std::string_view library)
{
    return (native == "INF" || native == "-INF" || native == "NaN") && native != library;
}

// An XLS Boolean or error in a BOOLERR record padded to nine bytes: the library reads its value
// from the error flag, so TRUE reads as FALSE and an error as TRUE.
bool isPaddedBooleanOrError(std::string_view native, std::string_view library)
{
    return (native == "TRUE" && library == "FALSE") || (native.starts_with('#') && library == "TRUE");
}

struct Mend {
    std::string_view name;
    std::function<bool(std::string_view, std::string_view)> applies;
};

const std::array<Mend, 13> mends = {{
    {"General to 15 significant digits", isMorePreciseNumber},
    {"numbers to 15 significant digits", isFifteenDigitNumber},
    {"numbers from 1e21 written out", isWrittenOut},
    {"rounded half away from zero on the decimal value", isRoundedAwayFromZero},
    {"no minus sign on a number shown as zero", isZeroWithoutSign},
    {"times and durations as times", isTimeText},
    {"numbers without a day of the calendar as numbers", isNumberWithoutDate},
    {"ODS dates before 1900-03-01 as written", isEarlyDate},
    {"spaces and empty lines kept", isKeptSpace},
    {"locale tags without a currency symbol", isLocaleWithoutCurrency},
    {"formats the library cannot apply", isFormattedWhereTheLibraryFailed},
    {"numbers past the largest double as INF", isInfinity},
    {"XLS Booleans and errors of padded records", isPaddedBooleanOrError},
}};

}  // namespace

std::optional<std::string_view> mendBetween(std::string_view native, std::string_view library)
{
    for (const Mend& mend : mends)
        if (mend.applies(native, library))
            return mend.name;
    return std::nullopt;
}

}  // namespace rowlark::testing
