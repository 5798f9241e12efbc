#include "engine/workbook/format/FormatTokens.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/workbook/format/FormatText.h"
#include "engine/workbook/format/GeneralNumber.h"
#include "engine/workbook/format/JavaScriptNumbers.h"

namespace rowlark::workbook {
namespace formatting {
namespace {

constexpr std::string_view morning = "\xE4\xB8\x8A\xE5\x8D\x88";    // 上午
constexpr std::string_view afternoon = "\xE4\xB8\x8B\xE5\x8D\x88";  // 下午
constexpr std::string_view morningSign = "\xE4\xB8\x8A";            // 上
constexpr std::string_view euroSign = "\xE2\x82\xAC";               // €

// The length in bytes of the UTF-8 sequence that starts with `lead`.
std::size_t sequenceLength(unsigned char lead)
{
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

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

bool isPlainNumberSection(std::string_view section)
{
    return !section.empty() && (section[0] == '0' || section[0] == '#' || section[0] == '.') &&
           allOf(section, "0#?.,E+-%");
}

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

bool hasCondition(std::string_view section)
{
    for (std::size_t at = section.find('['); at != std::string_view::npos; at = section.find('[', at + 1))
        if (at + 1 < section.size() && (section[at + 1] == '=' || section[at + 1] == '<' || section[at + 1] == '>'))
            return true;
    return false;
}

}  // namespace formatting

bool isDateFormat(std::string_view format)
{
    std::size_t i = 0;
    const std::size_t size = format.size();
    while (i < size) {
        const char c = format[i];
        switch (c) {
        case 'G':
            if (formatting::isGeneralAt(format, i))
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
            if (formatting::equalsIgnoringCase(format, i, "A/P") || formatting::equalsIgnoringCase(format, i, "AM/PM"))
                return true;
            ++i;
            break;
        case '[':
            if (formatting::isElapsedTimeBracket(formatting::bracketText(format, i)))
                return true;
            break;
        case '.':
        case '0':
        case '#':
            while (i < size && (formatting::isInNumberRun(format, ++i) ||
                                (format[i] == '\\' && i + 1 < size && format[i + 1] == '-' &&
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
            while (i < size && (++i >= size || formatting::isDigit(format[i]))) {
            }
            break;
        default:
            if (format.substr(i, formatting::morningAfternoon.size()) == formatting::morningAfternoon)
                return true;
            ++i;
            break;
        }
    }
    return false;
}

}  // namespace rowlark::workbook
