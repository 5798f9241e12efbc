#include "engine/workbook/format/FormatTokens.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/GeneralNumber.h"
#include "engine/workbook/format/NumberPattern.h"

namespace rowlark::workbook {
namespace formatting {
namespace {

constexpr std::string_view morning = "\xE4\xB8\x8A\xE5\x8D\x88";    // 上午
constexpr std::string_view afternoon = "\xE4\xB8\x8B\xE5\x8D\x88";  // 下午
constexpr std::string_view morningSign = "\xE4\xB8\x8A";            // 上

// The length in bytes of the UTF-8 sequence that starts with `lead`.
std::size_t sequenceLength(unsigned char lead)
{
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

double numberOf(const CellValue& value)
{
    return std::get<double>(value);
}

// Settles the hour tokens and the minutes among the month tokens; gives the places of the
// fraction of a second shown.
int settleTimeFields(Tokens& tokens)
{
    std::vector<Token>& out = tokens.out;
    int subsecondDigits = 0;
    char last = 't';
    for (std::size_t k = out.size(); k-- > 0;) {
        Token& token = out[k];
        switch (token.type) {
        case 'h':
        case 'H':
            token.type = tokens.hour;
            last = 'h';
            break;
        case 's':
            if (const std::size_t zeros = token.text.find_last_not_of('0');
                zeros != std::string::npos && token.text[zeros] == '.' && zeros + 1 < token.text.size())
                subsecondDigits = std::max(subsecondDigits, static_cast<int>(token.text.size() - zeros - 1));
            [[fallthrough]];
        case 'd':
        case 'y':
        case 'M':
        case 'e':
            last = token.type;
            break;
        case 'm':
            if (last == 's')
                token.type = 'M';
            break;
        default:
            break;
        }
    }
    return subsecondDigits;
}

// Writes the date and time fields and "General" into their tokens; false where the library
// throws.
bool writeFields(Tokens& tokens, const CellValue& value, int subsecondDigits)
{
    for (Token& token : tokens.out) {
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
                return false;
            token = {'t', std::move(*text)};
            break;
        }
        case 'G':
            token = {'t', generalText(value)};
            break;
        default:
            break;
        }
    }
    return true;
}

}  // namespace

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

Tokenizing tokenize(std::string_view format, const CellValue& value, Tokens& tokens)
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
            // A number stands for itself here, as "General" shows it.
            out.push_back(isNumber ? Token{'@', generalNumberText(numberOf(value))}
                                   : Token{'T', std::get<std::string>(value)});
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
                return Tokenizing::withoutDate;
            if (!needDate())
                return Tokenizing::withoutDate;
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
                return Tokenizing::withoutDate;
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
                    return Tokenizing::withoutDate;
                for (char& letter : text)
                    letter = lowered(letter);
                last = text[1];
                out.push_back({'Z', std::move(text)});
            } else if (const std::size_t dollar = text.find('$'); dollar != std::string::npos) {
                // [$€-407] shows its currency symbol; [$-409] names a locale alone.
                const std::size_t end = text.find_first_of("-[]", dollar + 1);
                std::string symbol = text.substr(dollar + 1, end - dollar - 1);
                const DateTimeParts parts = dateTimePartsOf(format);
                if (!symbol.empty() && !parts.hasDate && !parts.hasTime)
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
            // Characters beyond ASCII (€, £, ¥, °) stand for themselves, as in spreadsheets.
            if (static_cast<unsigned char>(c) >= 0x80) {
                const std::size_t length = std::min(sequenceLength(static_cast<unsigned char>(c)), format.size() - i);
                out.push_back({'t', std::string(format.substr(i, length))});
                i += length;
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

Text evaluateTokens(Tokens tokens, const CellValue& value, bool isMinusShown)
{
    const int subsecondDigits = settleTimeFields(tokens);
    if (!writeFields(tokens, value, subsecondDigits))
        return std::nullopt;
    const std::optional<NumberPattern> pattern = NumberPattern::fromTokens(tokens.out);
    if (!pattern)
        return std::nullopt;
    if (const auto* number = std::get_if<double>(&value))
        return pattern->format(std::abs(*number), isMinusShown && *number < 0);
    if (pattern->hasPlaceholders())
        return std::nullopt;
    return pattern->format(0, false);
}

Text evaluate(std::string_view format, const CellValue& value, bool isMinusShown)
{
    Tokens tokens;
    switch (tokenize(format, value, tokens)) {
    case Tokenizing::declined:
        return std::nullopt;
    case Tokenizing::withoutDate:
        return generalText(value);
    case Tokenizing::complete:
        break;
    }
    return evaluateTokens(std::move(tokens), value, isMinusShown);
}

std::optional<Condition> conditionOf(std::string_view section)
{
    for (std::size_t at = section.find('['); at != std::string_view::npos; at = section.find('[', at + 1)) {
        const std::size_t close = section.find(']', at);
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view bracket = section.substr(at + 1, close - at - 1);
        const std::size_t operatorSize = bracket.find_first_not_of("<=>");
        if (operatorSize == 0 || operatorSize == std::string_view::npos || operatorSize > 2)
            continue;
        Condition condition;
        const std::string_view comparison = bracket.substr(0, operatorSize);
        if (comparison != "=" && comparison != "<>" && comparison != "<" && comparison != "<=" && comparison != ">" &&
            comparison != ">=")
            continue;
        condition.comparison = std::string(comparison);
        bracket.remove_prefix(operatorSize);
        const auto [end, error] = std::from_chars(bracket.data(), bracket.data() + bracket.size(), condition.limit);
        if (error != std::errc() || end != bracket.data() + bracket.size())
            continue;
        return condition;
    }
    return std::nullopt;
}

bool Condition::matches(double value) const
{
    if (comparison == "=")
        return value == limit;
    if (comparison == "<>")
        return value != limit;
    if (comparison == "<")
        return value < limit;
    if (comparison == "<=")
        return value <= limit;
    if (comparison == ">")
        return value > limit;
    return value >= limit;
}

bool Condition::isForNegativesOnly() const
{
    return (comparison == "<" && limit <= 0) || ((comparison == "<=" || comparison == "=") && limit < 0);
}

namespace {

// The places of a second after a seconds field that ends before `at`: ".000" gives 3.
int secondPlacesAt(std::string_view format, std::size_t at)
{
    if (at >= format.size() || format[at] != '.')
        return 0;
    const std::size_t zeros = format.find_first_not_of('0', at + 1);
    return static_cast<int>(
        std::min<std::size_t>(zeros == std::string_view::npos ? format.size() : zeros, format.size()) - at - 1);
}

}  // namespace

DateTimeParts dateTimePartsOf(std::string_view format)
{
    // A letter a run of date and time letters: y, d, e, g, b; 'm' for m and mm, 'M' for longer
    // month names; h, s; 'Z' for an elapsed time in brackets; 'a' for an AM/PM marker.
    std::string runs;
    int secondPlaces = 0;
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
        case 'g': {
            const char letter = lowered(c);
            const std::size_t start = i;
            while (i < size && lowered(format[i]) == letter)
                ++i;
            runs += letter == 'm' && i - start >= 3 ? 'M' : letter;
            if (letter == 's')
                secondPlaces = std::max(secondPlaces, secondPlacesAt(format, i));
            break;
        }
        case 'A':
        case 'a':
            if (equalsIgnoringCase(format, i, "A/P") || equalsIgnoringCase(format, i, "AM/PM")) {
                runs += 'a';
                i += equalsIgnoringCase(format, i, "A/P") ? 3 : 5;
            } else {
                ++i;
            }
            break;
        case '[': {
            const std::string bracket = bracketText(format, i);
            if (isElapsedTimeBracket(bracket)) {
                runs += 'Z';
                if (bracket.find_first_of("sS") != std::string::npos)
                    secondPlaces = std::max(secondPlaces, secondPlacesAt(format, i));
            }
            break;
        }
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
            if (format.substr(i, morningAfternoon.size()) == morningAfternoon) {
                runs += 'a';
                i += morningAfternoon.size();
            } else {
                ++i;
            }
            break;
        }
    }
    DateTimeParts parts;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const char run = runs[k];
        // m is a minute beside an hour or a second, a month elsewhere.
        const bool isMinute = run == 'm' && ((k > 0 && (runs[k - 1] == 'h' || runs[k - 1] == 'Z')) ||
                                             (k + 1 < runs.size() && (runs[k + 1] == 's' || runs[k + 1] == 'Z')));
        if (std::string_view("ydegbM").find(run) != std::string_view::npos || (run == 'm' && !isMinute))
            parts.hasDate = true;
        else
            parts.hasTime = true;
    }
    parts.isDuration = !parts.hasDate && runs.find('Z') != std::string::npos;
    parts.secondPlaces = std::min(secondPlaces, 3);
    return parts;
}

}  // namespace formatting

bool isDateFormat(std::string_view format)
{
    return formatting::dateTimePartsOf(format).hasDate;
}

}  // namespace rowlark::workbook
