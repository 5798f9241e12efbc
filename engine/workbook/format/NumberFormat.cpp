#include "engine/workbook/format/NumberFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

// The library formats in JavaScript, so its texts are JavaScript's number texts put through a
// long chain of pattern rewrites. The functions below follow that chain step by step, in the
// library's order, so that every quirk comes out the same; where the library takes a path that
// is not reproduced here, the text is declined (std::nullopt) and the library is asked instead.

namespace rowlark::workbook {
namespace {

constexpr std::size_t maximumFormatLength = 255;

// ---- JavaScript number texts -------------------------------------------------------------

// The shortest digits that read back as `magnitude` (> 0) and the decimal exponent of the
// first one: magnitude = d.ddd × 10^exponent.
struct Digits {
    std::string digits;
    int exponent = 0;
};

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

Digits shortestDigits(double magnitude)
{
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific).ptr;
    return scientificDigits(buffer, end);
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

std::string exponentSuffix(int exponent)
{
    return std::string(exponent < 0 ? "e-" : "e+") + std::to_string(std::abs(exponent));
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

// String.prototype.substr(start, length)
std::string substr(std::string_view text, long start, long length = std::numeric_limits<long>::max())
{
    const long size = static_cast<long>(text.size());
    if (start < 0)
        start = std::max(0L, size + start);
    if (start >= size || length <= 0)
        return {};
    return std::string(
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(std::min(length, size - start))));
}

long indexOf(std::string_view text, std::string_view part)
{
    const std::size_t at = text.find(part);
    return at == std::string_view::npos ? -1 : static_cast<long>(at);
}

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isOneOf(char c, std::string_view set)
{
    for (const char member : set)
        if (c == member)
            return true;
    return false;
}

bool allOf(std::string_view text, std::string_view set)
{
    for (const char c : text)
        if (!isOneOf(c, set))
            return false;
    return true;
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

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool equalsIgnoringCase(std::string_view text, std::size_t at, std::string_view word)
{
    if (at + word.size() > text.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lowered(text[at + i]) != lowered(word[i]))
            return false;
    return true;
}

std::string repeated(char c, long count)
{
    return count > 0 ? std::string(static_cast<std::size_t>(count), c) : std::string();
}

// ---- The library's text helpers ------------------------------------------------------------

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

double log10Floor(double value)
{
    return std::floor(std::log(value) * 0.4342944819032518);
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

std::string generalText(const CellValue& value)
{
    if (const auto* number = std::get_if<double>(&value))
        return generalNumberText(*number);
    if (const auto* boolean = std::get_if<bool>(&value))
        return *boolean ? "TRUE" : "FALSE";
    return std::get<std::string>(value);
}

bool isGeneralAt(std::string_view format, std::size_t at)
{
    return equalsIgnoringCase(format, at, "general");
}

// ---- Dates -----------------------------------------------------------------------------------

struct DateCode {
    double days = 0;  // the whole days of the value
    double time = 0;  // whole seconds of the day
    double u = 0;     // the fraction of a second
    int y = 0, m = 0, d = 0, H = 0, M = 0;
    double S = 0;
    int weekday = 0;  // 0 = Sunday
};

// The proleptic Gregorian date `days` after 1900-01-01 (0), and its weekday.
void civilDate(long days, int& year, int& month, int& day, int& weekday)
{
    // Days since 1970-01-01, then the usual era arithmetic.
    long z = days - 25567 + 719468;
    weekday = static_cast<int>(((days + 1) % 7 + 7) % 7);
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long dayOfEra = z - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// The library's parse_date_code (Gregorian calendar), none outside its range.
std::optional<DateCode> parseDateCode(double value, bool isDate1904)
{
    if (value > 2958465 || value < 0)
        return std::nullopt;
    DateCode code;
    // A value that is not a number shows as day 0 at midnight, as the library's text has it.
    if (std::isnan(value))
        value = 0;
    long date = static_cast<long>(value);
    double time = std::floor(86400 * (value - static_cast<double>(date)));
    code.days = static_cast<double>(date);
    code.time = time;
    code.u = 86400 * (value - static_cast<double>(date)) - time;
    if (std::abs(code.u) < 1e-6)
        code.u = 0;
    if (isDate1904)
        date += 1462;
    if (code.u > 0.9999) {
        code.u = 0;
        if (++time == 86400) {
            code.time = time = 0;
            ++date;
            ++code.days;
        }
    }
    if (date == 60) {
        code.y = 1900, code.m = 2, code.d = 29, code.weekday = 3;
    } else if (date == 0) {
        code.y = 1900, code.m = 1, code.d = 0, code.weekday = 6;
    } else {
        if (date > 60)
            --date;
        civilDate(date - 1, code.y, code.m, code.d, code.weekday);
        if (date < 60)
            code.weekday = (code.weekday + 6) % 7;
    }
    code.S = std::fmod(time, 60);
    time = std::floor(time / 60);
    code.M = static_cast<int>(std::fmod(time, 60));
    code.H = static_cast<int>(std::floor(time / 60));
    return code;
}

void appendNumber(std::string& text, int number)
{
    char buffer[12];
    text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
}

void appendTwoDigits(std::string& text, int number)
{
    if (number < 10)
        text += '0';
    appendNumber(text, number);
}

constexpr std::array<std::array<std::string_view, 3>, 12> monthNames{{
    {"J", "Jan", "January"},
    {"F", "Feb", "February"},
    {"M", "Mar", "March"},
    {"A", "Apr", "April"},
    {"M", "May", "May"},
    {"J", "Jun", "June"},
    {"J", "Jul", "July"},
    {"A", "Aug", "August"},
    {"S", "Sep", "September"},
    {"O", "Oct", "October"},
    {"N", "Nov", "November"},
    {"D", "Dec", "December"},
}};
constexpr std::array<std::array<std::string_view, 2>, 7> dayNames{{
    {"Sun", "Sunday"},
    {"Mon", "Monday"},
    {"Tue", "Tuesday"},
    {"Wed", "Wednesday"},
    {"Thu", "Thursday"},
    {"Fri", "Friday"},
    {"Sat", "Saturday"},
}};

// One date or time field; none where the library throws.
std::optional<std::string> dateField(char type, const std::string& token, const DateCode& date, int subsecondDigits)
{
    const long length = static_cast<long>(token.size());
    switch (type) {
    case 'b':
    case 'y': {
        const int year = type == 'b' ? date.y + 543 : date.y;
        return length <= 2 ? pad0(static_cast<double>(year % 100), 2) : pad0(static_cast<double>(year % 10000), 4);
    }
    case 'm':
        if (length <= 2)
            return pad0(static_cast<double>(date.m), length);
        if (date.m < 1 || date.m > 12)
            return std::nullopt;
        return std::string(monthNames[static_cast<std::size_t>(date.m - 1)][length == 3 ? 1 : length == 5 ? 0 : 2]);
    case 'd':
        if (length <= 2)
            return pad0(static_cast<double>(date.d), length);
        return std::string(dayNames[static_cast<std::size_t>(date.weekday)][length == 3 ? 0 : 1]);
    case 'h':
    case 'H':
        if (length > 2)
            return std::nullopt;
        return pad0(static_cast<double>(type == 'h' ? 1 + (date.H + 11) % 12 : date.H), length);
    case 'M':
        if (length > 2)
            return std::nullopt;
        return pad0(static_cast<double>(date.M), length);
    case 's': {
        if (token != "s" && token != "ss" && token != ".0" && token != ".00" && token != ".000")
            return std::nullopt;
        if (date.u == 0 && (token == "s" || token == "ss"))
            return pad0(date.S, length);
        const double scale = subsecondDigits >= 2 ? (subsecondDigits == 3 ? 1000 : 100) : subsecondDigits == 1 ? 10 : 1;
        double seconds = jsRound(scale * (date.S + date.u));
        if (seconds >= 60 * scale)
            seconds = 0;
        if (token == "s")
            return seconds == 0 ? "0" : jsText(seconds / scale);
        const std::string text = pad0(seconds, 2 + subsecondDigits);
        if (token == "ss")
            return text.substr(0, 2);
        return "." + substr(text, 2, length - 1);
    }
    case 'Z': {
        double value = 0;
        const double hours = date.days * 24 + date.H;
        if (token == "[h]" || token == "[hh]")
            value = hours;
        else if (token == "[m]" || token == "[mm]")
            value = hours * 60 + date.M;
        else if (token == "[s]" || token == "[ss]")
            value = (hours * 60 + date.M) * 60 + jsRound(date.S + date.u);
        else
            return std::nullopt;
        return pad0(value, length == 3 ? 1 : 2);
    }
    case 'e':
        return pad0(static_cast<double>(date.y), 1);
    default:
        return std::string();
    }
}

// ---- Number placeholders ---------------------------------------------------------------------

using Text = std::optional<std::string>;

Text writeNumber(char type, std::string_view format, double value);

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

Text writeNumber(char type, std::string_view format, double value)
{
    return writeNumberForms(type, format, value, isInt32(value));
}

// ---- Sections --------------------------------------------------------------------------------

// The sections of a format as the library splits it at ';'; none for an unterminated quoted
// text.
std::optional<std::vector<std::string>> splitSections(std::string_view format)
{
    std::vector<std::string> sections;
    bool isInText = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        switch (format[i]) {
        case '"':
            isInText = !isInText;
            break;
        case '_':
        case '*':
        case '\\':
            ++i;
            break;
        case ';':
            sections.emplace_back(format.substr(start, i - start));
            start = i + 1;
            break;
        default:
            break;
        }
    }
    sections.emplace_back(format.substr(std::min(start, format.size())));
    if (isInText)
        return std::nullopt;
    return sections;
}

// The length in bytes of the UTF-8 sequence that starts with `lead`.
std::size_t sequenceLength(unsigned char lead)
{
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

constexpr std::string_view morningAfternoon = "\xE4\xB8\x8A\xE5\x8D\x88/\xE4\xB8\x8B\xE5\x8D\x88";  // 上午/下午
constexpr std::string_view morning = "\xE4\xB8\x8A\xE5\x8D\x88";                                    // 上午
constexpr std::string_view afternoon = "\xE4\xB8\x8B\xE5\x8D\x88";                                  // 下午
constexpr std::string_view morningSign = "\xE4\xB8\x8A";                                            // 上
constexpr std::string_view euroSign = "\xE2\x82\xAC";                                               // €

// /\[[HhMmSs\u0E0A\u0E19\u0E17]*\]/ somewhere in the bracket text.
bool isElapsedTimeBracket(std::string_view bracket)
{
    for (std::size_t open = bracket.find('['); open != std::string_view::npos; open = bracket.find('[', open + 1)) {
        std::size_t i = open + 1;
        while (i < bracket.size()) {
            if (std::string_view("HhMmSs").find(bracket[i]) != std::string_view::npos) {
                ++i;
            } else if (bracket.substr(i, 2) == "\xE0\xB8" && i + 2 < bracket.size() &&
                       (bracket[i + 2] == '\x8A' || bracket[i + 2] == '\x99' || bracket[i + 2] == '\x97')) {
                i += 3;
            } else {
                break;
            }
        }
        if (i < bracket.size() && bracket[i] == ']')
            return true;
    }
    return false;
}

// The bracket text from `i` (at '[') through its ']', and the place after it.
std::string bracketText(std::string_view format, std::size_t& i)
{
    std::string text(1, '[');
    while (format[i++] != ']' && i < format.size())
        text += format[i];
    return text;
}

bool isInNumberRun(std::string_view format, std::size_t i)
{
    return i >= format.size() || isOneOf(format[i], "0#?.,E+-%");
}

// A token of the library's format evaluation: its type letter and text.
struct Token {
    char type;
    std::string text;
};

double numberOf(const CellValue& value)
{
    return std::get<double>(value);
}

// Whether the token at `at` belongs to the number placeholder before it, as in "# ?/8".
bool joinsNumber(const std::vector<Token>& out, std::size_t at)
{
    const Token& token = out[at];
    const Token* next = at + 1 < out.size() ? &out[at + 1] : nullptr;
    return token.type == '?' || token.type == 'D' ||
           ((token.type == ' ' || token.type == 't') && next &&
            (next->type == '?' || (next->type == 't' && next->text == "/"))) ||
           (token.type == 't' && (token.text == "/" || (token.text == " " && next && next->type == '?')));
}

// A section split into tokens, with the date of the value once a date or time token needs it.
struct Tokens {
    std::vector<Token> out;
    std::optional<DateCode> date;
    char hour = 'H';  // 'h' once there is an AM/PM marker
};

enum class Tokenizing { complete, endsEmpty, declined };

// The library's tokens of a section for a value. A number outside the date range ends the
// evaluation with an empty text at its first date token; the forms where the library throws
// and the Buddhist and Hijri calendar fields are declined.
Tokenizing tokenize(std::string_view format, const CellValue& value, int sectionCount, Tokens& tokens)
{
    const bool isNumber = std::holds_alternative<double>(value);
    std::vector<Token>& out = tokens.out;
    std::optional<DateCode>& date = tokens.date;
    char& hour = tokens.hour;
    char last = 't';
    const auto needDate = [&]() -> bool {
        if (!date)
            date = parseDateCode(numberOf(value), false);
        return date.has_value();
    };
    std::size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        switch (c) {
        case 'G':
            if (!isGeneralAt(format, i))
                return Tokenizing::declined;
            out.push_back({'G', "General"});
            i += 7;
            break;
        case '"': {
            std::string text;
            while (++i < format.size() && format[i] != '"')
                text += format[i];
            out.push_back({'t', std::move(text)});
            ++i;
            break;
        }
        case '\\': {
            ++i;
            const std::size_t length = i < format.size() ? sequenceLength(static_cast<unsigned char>(format[i])) : 0;
            const std::string escaped(format.substr(std::min(i, format.size()), length));
            out.push_back({escaped == "(" || escaped == ")" ? escaped[0] : 't', escaped});
            i += std::max<std::size_t>(length, 1);
            break;
        }
        case '_':
            out.push_back({'t', " "});
            i += 1 + (i + 1 < format.size() ? sequenceLength(static_cast<unsigned char>(format[i + 1])) : 1);
            break;
        case '@':
            // A number stands for itself here; the type tells the placement of digits about it.
            out.push_back(isNumber ? Token{'@', jsText(numberOf(value))} : Token{'T', std::get<std::string>(value)});
            ++i;
            break;
        case 'B':
        case 'b':
            if (i + 1 < format.size() && (format[i + 1] == '1' || format[i + 1] == '2'))
                return Tokenizing::declined;
            [[fallthrough]];
        case 'M':
        case 'D':
        case 'Y':
        case 'H':
        case 'S':
        case 'E':
            c = lowered(c);
            [[fallthrough]];
        case 'm':
        case 'd':
        case 'y':
        case 'h':
        case 's':
        case 'e':
        case 'g': {
            if (!isNumber)
                return Tokenizing::declined;
            if (numberOf(value) < 0)
                return Tokenizing::endsEmpty;
            if (!needDate())
                return Tokenizing::endsEmpty;
            std::string text(1, c);
            while (++i < format.size() && lowered(format[i]) == c)
                text += c;
            if (c == 'm' && lowered(last) == 'h')
                c = 'M';
            if (c == 'h')
                c = hour;
            out.push_back({c, std::move(text)});
            last = c;
            break;
        }
        case 'A':
        case 'a':
        case '\xE4': {
            const bool isMorningSign = format.substr(i, morningSign.size()) == morningSign;
            if (c == '\xE4' && !isMorningSign)
                return Tokenizing::declined;
            if (!isNumber)
                return Tokenizing::declined;
            Token token{c, std::string(format.substr(i, isMorningSign ? morningSign.size() : 1))};
            needDate();
            const bool isAfternoon = date && date->H >= 12;
            if (equalsIgnoringCase(format, i, "A/P")) {
                token = {'T', isAfternoon ? "P" : "A"};
                hour = 'h';
                i += 3;
            } else if (equalsIgnoringCase(format, i, "AM/PM")) {
                token = {'T', isAfternoon ? "PM" : "AM"};
                i += 5;
                hour = 'h';
            } else if (format.substr(i, morningAfternoon.size()) == morningAfternoon) {
                token = {'T', std::string(isAfternoon ? afternoon : morning)};
                i += morningAfternoon.size();
                hour = 'h';
            } else {
                token.type = 't';
                i += token.text.size();
            }
            if (!date && token.type == 'T')
                return Tokenizing::endsEmpty;
            out.push_back(std::move(token));
            last = c;
            break;
        }
        case '[': {
            std::string text = bracketText(format, i);
            if (text.back() != ']')
                return Tokenizing::declined;
            if (isElapsedTimeBracket(text)) {
                if (!isNumber)
                    return Tokenizing::declined;
                if (!needDate())
                    return Tokenizing::endsEmpty;
                for (char& letter : text)
                    letter = lowered(letter);
                last = text[1];
                out.push_back({'Z', std::move(text)});
            } else if (const std::size_t dollar = text.find('$'); dollar != std::string::npos) {
                const std::size_t end = text.find_first_of("-[]", dollar + 1);
                std::string symbol = text.substr(dollar + 1, end - dollar - 1);
                if (symbol.empty())
                    symbol = "$";
                if (!isDateFormat(format))
                    out.push_back({'t', std::move(symbol)});
            }
            break;
        }
        case '.':
            if (date) {
                std::string text(1, c);
                while (++i < format.size() && format[i] == '0')
                    text += '0';
                out.push_back({'s', std::move(text)});
                break;
            }
            [[fallthrough]];
        case '0':
        case '#': {
            std::string text(1, c);
            while (++i < format.size() && isInNumberRun(format, i))
                text += format[i];
            out.push_back({'n', std::move(text)});
            break;
        }
        case '?': {
            std::string text(1, c);
            while (++i < format.size() && format[i] == '?')
                text += '?';
            out.push_back({'?', std::move(text)});
            last = c;
            break;
        }
        case '*':
            ++i;
            if (i < format.size() && (format[i] == ' ' || format[i] == '*'))
                ++i;
            break;
        case '(':
        case ')':
            out.push_back({sectionCount == 1 ? 't' : c, std::string(1, c)});
            ++i;
            break;
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
            std::string text(1, c);
            while (++i < format.size() && isDigit(format[i]))
                text += format[i];
            out.push_back({'D', std::move(text)});
            break;
        }
        case ' ':
            out.push_back({' ', " "});
            ++i;
            break;
        case '$':
            out.push_back({'t', "$"});
            ++i;
            break;
        default:
            if (format.substr(i, euroSign.size()) == euroSign) {
                out.push_back({'t', std::string(euroSign)});
                i += euroSign.size();
                break;
            }
            if (std::string_view(",$-+/():!^&'~{}<>=acfijklopqrtuvwxzP").find(c) == std::string_view::npos)
                return Tokenizing::declined;
            out.push_back({'t', std::string(1, c)});
            ++i;
            break;
        }
    }
    return Tokenizing::complete;
}

// Settles the hour tokens and the minutes among the month tokens, and rounds the time as finely
// as the time fields shown need; gives the places of the fraction of a second shown.
int settleTimeFields(Tokens& tokens)
{
    std::vector<Token>& out = tokens.out;
    std::optional<DateCode>& date = tokens.date;
    int precision = 0;
    int subsecondDigits = 0;
    char last = 't';
    for (std::size_t k = out.size(); k-- > 0;) {
        Token& token = out[k];
        switch (token.type) {
        case 'h':
        case 'H':
            token.type = tokens.hour;
            last = 'h';
            precision = std::max(precision, 1);
            break;
        case 's':
            if (const std::size_t zeros = token.text.find_last_not_of('0');
                zeros != std::string::npos && token.text[zeros] == '.' && zeros + 1 < token.text.size())
                subsecondDigits = std::max(subsecondDigits, static_cast<int>(token.text.size() - zeros - 1));
            precision = std::max(precision, 3);
            [[fallthrough]];
        case 'd':
        case 'y':
        case 'M':
        case 'e':
            last = token.type;
            break;
        case 'm':
            if (last == 's') {
                token.type = 'M';
                precision = std::max(precision, 2);
            }
            break;
        case 'Z':
            if (precision < 1 && token.text.find_first_of("Hh") != std::string::npos)
                precision = 1;
            if (precision < 2 && token.text.find_first_of("Mm") != std::string::npos)
                precision = 2;
            if (precision < 3 && token.text.find_first_of("Ss") != std::string::npos)
                precision = 3;
            break;
        default:
            break;
        }
    }
    if (precision == 1 || precision == 2) {
        if (date->u >= 0.5) {
            date->u = 0;
            ++date->S;
        }
        if (date->S >= 60) {
            date->S = 0;
            ++date->M;
        }
        if (precision == 1 && date->M >= 60) {
            date->M = 0;
            ++date->H;
        }
    }
    return subsecondDigits;
}

// Writes the date and time fields and "General" into their tokens and joins each number
// placeholder run with what belongs to it; gives the runs together, none where the library
// throws.
Text writeFields(Tokens& tokens, const CellValue& value, int subsecondDigits)
{
    std::vector<Token>& out = tokens.out;
    std::string numberFormat;
    for (std::size_t k = 0; k < out.size(); ++k) {
        Token& token = out[k];
        switch (token.type) {
        case 'd':
        case 'm':
        case 'y':
        case 'h':
        case 'H':
        case 'M':
        case 's':
        case 'e':
        case 'b':
        case 'Z': {
            Text text = dateField(token.type, token.text, *tokens.date, subsecondDigits);
            if (!text)
                return std::nullopt;
            token = {'t', std::move(*text)};
            break;
        }
        case 'n':
        case '?': {
            // A fraction takes in the spaces, digits and slash that follow.
            std::size_t next = k + 1;
            for (; next < out.size() && joinsNumber(out, next); ++next) {
                token.text += out[next].text;
                out[next] = {';', ""};
            }
            numberFormat += token.text;
            k = next - 1;
            break;
        }
        case 'G':
            token = {'t', generalText(value)};
            break;
        default:
            break;
        }
    }
    return numberFormat;
}

// Places the written number into the number placeholder tokens as the library does: digit by
// digit around the point, the rest of the whole part before the first placeholder; false where
// the library throws.
bool placeNumber(std::vector<Token>& out, double v, int sectionCount, const std::string& numberFormat)
{
    const double shownValue = v < 0 && sectionCount > 1 ? -v : v;
    Text number = writeNumber('n', numberFormat, shownValue);
    if (!number)
        return false;
    std::string written = std::move(*number);
    if (shownValue < 0 && !out.empty() && out[0].type == 't') {
        written.erase(0, 1);
        out[0].text = "-" + out[0].text;
    }
    const auto isNumberToken = [&](std::size_t k) { return out[k].type == 'n' || out[k].type == '?'; };
    long next = static_cast<long>(written.size()) - 1;
    std::size_t decimalToken = out.size();
    for (std::size_t k = 0; k < out.size(); ++k) {
        // The library looks for the point in the number itself there, and fails.
        if (out[k].type == '@')
            return false;
        if (out[k].type != 't' && out[k].text.find('.') != std::string::npos) {
            decimalToken = k;
            break;
        }
    }
    std::size_t lastNumber = out.size();
    const bool hasExponent = written.find('E') != std::string::npos;
    if (decimalToken == out.size() && !hasExponent) {
        for (std::size_t k = out.size(); k-- > 0;) {
            if (!isNumberToken(k))
                continue;
            const long length = static_cast<long>(out[k].text.size());
            if (next >= length - 1) {
                next -= length;
                out[k].text = substr(written, next + 1, length);
            } else if (next < 0) {
                out[k].text.clear();
            } else {
                out[k].text = substr(written, 0, next + 1);
                next = -1;
            }
            out[k].type = 't';
            lastNumber = k;
        }
        if (next >= 0 && lastNumber < out.size())
            out[lastNumber].text = substr(written, 0, next + 1) + out[lastNumber].text;
    } else if (decimalToken != out.size() && !hasExponent) {
        if (out[decimalToken].type != 'n')
            return false;
        next = indexOf(written, ".") - 1;
        for (std::size_t k = decimalToken + 1; k-- > 0;) {
            if (!isNumberToken(k))
                continue;
            const std::string& text = out[k].text;
            long j = text.find('.') != std::string::npos && k == decimalToken ? indexOf(text, ".") - 1
                                                                              : static_cast<long>(text.size()) - 1;
            std::string placed = substr(text, j + 1);
            for (; j >= 0; --j)
                if (next >= 0 && (text[static_cast<std::size_t>(j)] == '0' || text[static_cast<std::size_t>(j)] == '#'))
                    placed.insert(placed.begin(), written[static_cast<std::size_t>(next--)]);
            out[k].text = std::move(placed);
            out[k].type = 't';
            lastNumber = k;
        }
        if (next >= 0 && lastNumber < out.size())
            out[lastNumber].text = substr(written, 0, next + 1) + out[lastNumber].text;
        next = indexOf(written, ".") + 1;
        for (std::size_t k = decimalToken; k < out.size(); ++k) {
            if (k != decimalToken && !isNumberToken(k) && out[k].type != '(')
                continue;
            const std::string& text = out[k].text;
            long j = text.find('.') != std::string::npos && k == decimalToken ? indexOf(text, ".") + 1 : 0;
            std::string placed = substr(text, 0, j);
            for (; j < static_cast<long>(text.size()); ++j)
                if (next < static_cast<long>(written.size()))
                    placed += written[static_cast<std::size_t>(next++)];
            out[k].text = std::move(placed);
            out[k].type = 't';
            lastNumber = k;
        }
    }
    for (std::size_t k = 0; k < out.size(); ++k) {
        if (!isNumberToken(k))
            continue;
        const double tokenValue = sectionCount > 1 && v < 0 && k > 0 && out[k - 1].text == "-" ? -v : v;
        Text text = writeNumber(out[k].type, out[k].text, tokenValue);
        if (!text)
            return false;
        out[k] = {'t', std::move(*text)};
    }
    return true;
}

// The library's evaluation of a section's tokens for one value; none where the library throws
// and for texts under number placeholders.
Text evaluateTokens(Tokens tokens, const CellValue& value, int sectionCount)
{
    const int subsecondDigits = settleTimeFields(tokens);
    const Text numberFormat = writeFields(tokens, value, subsecondDigits);
    if (!numberFormat)
        return std::nullopt;
    if (!numberFormat->empty() && (!std::holds_alternative<double>(value) ||
                                   !placeNumber(tokens.out, numberOf(value), sectionCount, *numberFormat)))
        return std::nullopt;
    std::string result;
    for (const Token& token : tokens.out)
        result += token.text;
    return result;
}

// The library's evaluation of one section for one value; none where the library throws, and for
// the forms not reproduced: the Buddhist and Hijri calendar fields and texts under number or
// date placeholders.
Text evaluate(std::string_view format, const CellValue& value, int sectionCount)
{
    Tokens tokens;
    switch (tokenize(format, value, sectionCount, tokens)) {
    case Tokenizing::declined:
        return std::nullopt;
    case Tokenizing::endsEmpty:
        return std::string();
    case Tokenizing::complete:
        break;
    }
    return evaluateTokens(std::move(tokens), value, sectionCount);
}

// A section that is one run of number placeholders, such as "#,##0.00" or "0%".
bool isPlainNumberSection(std::string_view section)
{
    return !section.empty() && (section[0] == '0' || section[0] == '#' || section[0] == '.') &&
           allOf(section, "0#?.,E+-%");
}

// What the evaluation comes to for a plain number section: the placement of the written number
// into the one placeholder run keeps its whole part and as many places as the run has.
Text evaluatePlainNumber(std::string_view section, double value, int sectionCount)
{
    const double shownValue = value < 0 && sectionCount > 1 ? -value : value;
    const Text written = writeNumber('n', section, shownValue);
    if (!written)
        return written;
    if (written->find('E') != std::string::npos)
        return writeNumber('n', section, value);
    const std::size_t sectionPoint = section.find('.');
    if (sectionPoint == std::string_view::npos)
        return written;
    const std::size_t point = written->find('.');
    const std::size_t placesFrom = point == std::string::npos ? 0 : point + 1;
    std::string text = point == std::string::npos ? std::string() : written->substr(0, point);
    text += '.';
    if (placesFrom < written->size())
        text.append(*written, placesFrom, section.size() - sectionPoint - 1);
    return text;
}

// The condition of a section, as in [>100]: a form not reproduced.
bool hasCondition(std::string_view section)
{
    for (std::size_t at = section.find('['); at != std::string_view::npos; at = section.find('[', at + 1))
        if (at + 1 < section.size() && (section[at + 1] == '=' || section[at + 1] == '<' || section[at + 1] == '>'))
            return true;
    return false;
}

}  // namespace

std::optional<std::string_view> builtInNumberFormat(int id)
{
    switch (id) {
    case 0:
    case 23:
    case 24:
    case 25:
    case 26:
        return "General";
    case 1:
    case 59:
        return "0";
    case 2:
    case 60:
        return "0.00";
    case 3:
    case 61:
        return "#,##0";
    case 4:
    case 62:
        return "#,##0.00";
    case 5:
    case 63:
        return "\"$\"#,##0_);\\(\"$\"#,##0\\)";
    case 6:
    case 64:
        return "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)";
    case 7:
    case 65:
        return "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)";
    case 8:
    case 66:
        return "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)";
    case 9:
    case 67:
        return "0%";
    case 10:
    case 68:
        return "0.00%";
    case 11:
        return "0.00E+00";
    case 12:
    case 69:
        return "# ?/?";
    case 13:
    case 70:
        return "# ?\?/?\?";
    case 14:
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
    case 36:
        return "m/d/yy";
    case 50:
    case 51:
    case 52:
    case 53:
    case 54:
    case 55:
    case 57:
    case 58:
    case 71:
    case 72:
        return "m/d/yy";
    case 15:
    case 73:
        return "d-mmm-yy";
    case 16:
    case 74:
        return "d-mmm";
    case 17:
    case 75:
        return "mmm-yy";
    case 18:
        return "h:mm AM/PM";
    case 19:
        return "h:mm:ss AM/PM";
    case 20:
    case 76:
        return "h:mm";
    case 21:
    case 32:
    case 33:
    case 34:
    case 35:
    case 77:
        return "h:mm:ss";
    case 22:
    case 78:
        return "m/d/yy h:mm";
    case 37:
        return "#,##0 ;(#,##0)";
    case 38:
        return "#,##0 ;[Red](#,##0)";
    case 39:
        return "#,##0.00;(#,##0.00)";
    case 40:
        return "#,##0.00;[Red](#,##0.00)";
    case 41:
        return "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)";
    case 42:
        return "_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)";
    case 43:
        return "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)";
    case 44:
        return "_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"?\?_);_(@_)";
    case 45:
    case 79:
        return "mm:ss";
    case 46:
    case 80:
        return "[h]:mm:ss";
    case 47:
    case 81:
        return "mmss.0";
    case 48:
        return "##0.0E+0";
    case 49:
        return "@";
    case 56:
        return "\"\xE4\xB8\x8A\xE5\x8D\x88/\xE4\xB8\x8B\xE5\x8D\x88 "
               "\"hh\"\xE6\x99\x82\"mm\"\xE5\x88\x86\"ss\"\xE7\xA7\x92 \"";
    default:
        return std::nullopt;
    }
}

bool isDateFormat(std::string_view format)
{
    std::size_t i = 0;
    const std::size_t size = format.size();
    while (i < size) {
        const char c = format[i];
        switch (c) {
        case 'G':
            if (isGeneralAt(format, i))
                i += 6;
            ++i;
            break;
        case '"':
            while (++i < size && format[i] != '"') {
            }
            ++i;
            break;
        case '\\':
        case '_':
            i += 2;
            break;
        case '@':
            ++i;
            break;
        case 'B':
        case 'b':
        case 'M':
        case 'D':
        case 'Y':
        case 'H':
        case 'S':
        case 'E':
        case 'm':
        case 'd':
        case 'y':
        case 'h':
        case 's':
        case 'e':
        case 'g':
            return true;
        case 'A':
        case 'a':
            if (equalsIgnoringCase(format, i, "A/P") || equalsIgnoringCase(format, i, "AM/PM"))
                return true;
            ++i;
            break;
        case '[':
            if (isElapsedTimeBracket(bracketText(format, i)))
                return true;
            break;
        case '.':
        case '0':
        case '#':
            while (i < size &&
                   (isInNumberRun(format, ++i) || (format[i] == '\\' && i + 1 < size && format[i + 1] == '-' &&
                                                   (i + 2 >= size || format[i + 2] == '0' || format[i + 2] == '#')))) {
            }
            break;
        case '?':
            while (++i < size && format[i] == '?') {
            }
            break;
        case '*':
            ++i;
            if (i < size && (format[i] == ' ' || format[i] == '*'))
                ++i;
            break;
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            while (i < size && (++i >= size || isDigit(format[i]))) {
            }
            break;
        default:
            if (format.substr(i, morningAfternoon.size()) == morningAfternoon)
                return true;
            ++i;
            break;
        }
    }
    return false;
}

std::string dateCellText(double value, bool isDate1904)
{
    const std::optional<DateCode> date = parseDateCode(value, isDate1904);
    if (!date)
        return {};
    std::string text;
    text.reserve(19);
    appendNumber(text, date->y);
    text += '-';
    appendTwoDigits(text, date->m);
    text += '-';
    appendTwoDigits(text, date->d);
    const int seconds = static_cast<int>(std::floor(date->S));
    if (date->H == 0 && date->M == 0 && seconds == 0)
        return text;
    text += 'T';
    appendTwoDigits(text, date->H);
    text += ':';
    appendTwoDigits(text, date->M);
    text += ':';
    appendTwoDigits(text, seconds);
    return text;
}

std::string generalNumberText(double value)
{
    if (isInt32(value)) {
        char buffer[16];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, static_cast<int>(value)).ptr);
    }
    const double magnitude = std::abs(value);
    if (magnitude >= 1 && magnitude < 1e9)
        return tenDigitText(value);
    return generalNonIntegerText(value);
}

// The sections of a format, with what can be worked out before any value is seen.
struct NumberFormat::Sections {
    std::vector<std::string> texts;
    bool hasTextSection = false;
    int numberSectionCount = 0;         // the number of sections as the library counts them for numbers
    std::array<int, 3> numberSections;  // for positive, negative and zero numbers; -1 for "General"
    std::vector<bool> isPlainNumber;
    // The tokens for numbers of each section whose tokens do not depend on the number (no date
    // or time fields, no '@').
    std::vector<std::optional<Tokens>> numberTokens;
};

namespace {

// The library's choice of section by the sign of a number, for `count` sections.
std::array<int, 3> numberSectionsFor(std::size_t count, bool hasTextSection)
{
    switch (count) {
    case 1:
        return hasTextSection ? std::array<int, 3>{-1, -1, -1} : std::array<int, 3>{0, 0, 0};
    case 2:
        return hasTextSection ? std::array<int, 3>{0, 0, 0} : std::array<int, 3>{0, 1, 0};
    default:
        return hasTextSection && count == 3 ? std::array<int, 3>{0, 1, 0} : std::array<int, 3>{0, 1, 2};
    }
}

std::optional<Tokens> valueFreeTokens(std::string_view section, int sectionCount)
{
    Tokens tokens;
    if (tokenize(section, CellValue(1.0), sectionCount, tokens) != Tokenizing::complete || tokens.date)
        return std::nullopt;
    for (const Token& token : tokens.out)
        if (token.type == '@')
            return std::nullopt;
    return tokens;
}

}  // namespace

std::optional<NumberFormat> NumberFormat::parse(std::string_view format)
{
    NumberFormat parsed;
    if (isGeneralAt(format, 0))
        return parsed;
    // Formatting recurses once a shortened form; spreadsheet programs write at most 255
    // characters, and longer texts are left to the library rather than to the stack.
    if (format.size() > maximumFormatLength)
        return std::nullopt;
    for (const char c : format)
        if (static_cast<unsigned char>(c) >= 0xF0)
            return std::nullopt;
    auto texts = splitSections(format);
    if (!texts || texts->size() > 4)
        return std::nullopt;
    if (hasCondition((*texts)[0]) || (texts->size() > 1 && hasCondition((*texts)[1])))
        return std::nullopt;
    auto sections = std::make_shared<Sections>();
    const std::size_t count = texts->size();
    sections->hasTextSection = texts->back().find('@') != std::string::npos;
    sections->numberSectionCount = static_cast<int>(count) - (count < 4 && sections->hasTextSection ? 1 : 0);
    sections->numberSections = numberSectionsFor(count, sections->hasTextSection);
    for (const std::string& text : *texts) {
        sections->isPlainNumber.push_back(isPlainNumberSection(text));
        sections->numberTokens.push_back(valueFreeTokens(text, sections->numberSectionCount));
    }
    sections->texts = std::move(*texts);
    parsed.sections_ = std::move(sections);
    return parsed;
}

std::optional<std::string> NumberFormat::format(double value) const
{
    return format(CellValue(value));
}

std::optional<std::string> NumberFormat::format(const CellValue& value) const
{
    if (!sections_)
        return generalText(value);
    const Sections& sections = *sections_;
    if (const auto* number = std::get_if<double>(&value)) {
        if (!std::isfinite(*number))
            return std::nullopt;
        const int index = sections.numberSections[*number > 0 ? 0 : *number < 0 ? 1 : 2];
        if (index < 0 || isGeneralAt(sections.texts[static_cast<std::size_t>(index)], 0))
            return generalText(value);
        const auto at = static_cast<std::size_t>(index);
        if (sections.isPlainNumber[at])
            return evaluatePlainNumber(sections.texts[at], *number, sections.numberSectionCount);
        if (const std::optional<Tokens>& tokens = sections.numberTokens[at])
            return evaluateTokens(Tokens(*tokens), value, sections.numberSectionCount);
        return evaluate(sections.texts[at], value, sections.numberSectionCount);
    }
    // Texts and Booleans take the text section, or "@" when there is none; Booleans as the text
    // TRUE or FALSE.
    const std::string_view chosen = sections.texts.size() == 4 || sections.hasTextSection
                                        ? std::string_view(sections.texts.back())
                                        : std::string_view("@");
    constexpr int textSectionCount = 4;
    if (isGeneralAt(chosen, 0))
        return generalText(value);
    if (const auto* boolean = std::get_if<bool>(&value))
        return evaluate(chosen, CellValue(std::string(*boolean ? "TRUE" : "FALSE")), textSectionCount);
    if (std::get<std::string>(value).empty())
        return std::string();
    return evaluate(chosen, value, textSectionCount);
}

}  // namespace rowlark::workbook
