#include "engine/workbook/container/XMLScan.h"

#include <algorithm>
#include <cctype>

#include "engine/text/Encoding.h"
#include "engine/text/Unicode.h"

namespace rowlark::workbook {
namespace {

bool isSpace(char character)
{
    return character == ' ' || character == '\t' || character == '\n' || character == '\r';
}

char asciiLower(char character)
{
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

bool isHexDigit(char character)
{
    return std::isxdigit(static_cast<unsigned char>(character)) != 0;
}

// One UTF-16 unit, as String.fromCharCode keeps only the low 16 bits of a code.
std::optional<std::uint32_t> codeUnit(std::string_view digits, int base)
{
    std::uint64_t value = 0;
    for (const char digit : digits) {
        const int number = std::isdigit(static_cast<unsigned char>(digit))
                               ? digit - '0'
                               : std::tolower(static_cast<unsigned char>(digit)) - 'a' + 10;
        value = (value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(number)) & 0xFFFFFFFFull;
    }
    const std::uint32_t unit = static_cast<std::uint32_t>(value & 0xFFFF);
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return std::nullopt;
    return unit;
}

// Decodes "&...;" at the start of `text`; the length consumed, 0 when it is no escape.
std::size_t decodeEntity(std::string_view text, std::string& out, bool& isBroken)
{
    static constexpr std::pair<std::string_view, char> named[] = {
        {"quot;", '"'}, {"apos;", '\''}, {"gt;", '>'}, {"lt;", '<'}, {"amp;", '&'}};
    for (const auto& [name, character] : named) {
        if (text.size() > name.size() && std::equal(name.begin(), name.end(), text.begin() + 1, [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            })) {
            // Only the lower-case names are in the library's table; the others become NUL.
            if (text.substr(1, name.size()) != name)
                isBroken = true;
            out.push_back(character);
            return name.size() + 1;
        }
    }
    if (text.size() < 4 || text[1] != '#')
        return 0;
    std::size_t start = 2;
    if (text[2] == 'X') {
        isBroken = true;  // read as decimal digits by the library
        return 0;
    }
    const bool isHex = text[2] == 'x';
    if (isHex)
        ++start;
    std::size_t end = start;
    while (end < text.size() && isHexDigit(text[end]))
        ++end;
    if (end == start || end >= text.size() || text[end] != ';')
        return 0;
    const std::string_view digits = text.substr(start, end - start);
    // The library's pattern takes hexadecimal digits after "&#" too, and reads them as decimal
    // unless an x was there; parseInt then stops at the first letter.
    std::string_view decimalPrefix = digits;
    if (!isHex) {
        std::size_t length = 0;
        while (length < digits.size() && std::isdigit(static_cast<unsigned char>(digits[length])))
            ++length;
        decimalPrefix = digits.substr(0, length);
        if (decimalPrefix.empty()) {
            isBroken = true;
            return end + 1;
        }
    }
    const std::optional<std::uint32_t> unit = codeUnit(decimalPrefix, isHex ? 16 : 10);
    if (!unit)
        isBroken = true;
    else
        text::appendScalar(out, *unit);
    return end + 1;
}

std::optional<std::string> decodeEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool isBroken = false;
    for (std::size_t index = 0; index < text.size();) {
        if (text[index] == '&') {
            const std::size_t used = decodeEntity(text.substr(index), out, isBroken);
            if (used > 0) {
                index += used;
                continue;
            }
        }
        out.push_back(text[index++]);
    }
    if (isBroken)
        return std::nullopt;
    return out;
}

// _xHHHH_ escapes, applied after the entities, over the whole text.
std::optional<std::string> decodeWorkbookEscapes(std::string text)
{
    if (text.find("_x") == std::string::npos && text.find("_X") == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t index = 0; index < text.size();) {
        if (index + 7 <= text.size() && text[index] == '_' && (text[index + 1] == 'x' || text[index + 1] == 'X') &&
            isHexDigit(text[index + 2]) && isHexDigit(text[index + 3]) && isHexDigit(text[index + 4]) &&
            isHexDigit(text[index + 5]) && text[index + 6] == '_') {
            const std::optional<std::uint32_t> unit = codeUnit(std::string_view(text).substr(index + 2, 4), 16);
            if (!unit)
                return std::nullopt;
            text::appendScalar(out, *unit);
            index += 7;
            continue;
        }
        out.push_back(text[index++]);
    }
    return out;
}

}  // namespace

void forEachTag(std::string_view text, const std::function<void(std::string_view tag)>& visit)
{
    std::size_t position = 0;
    while (true) {
        const std::size_t open = text.find('<', position);
        if (open == std::string_view::npos)
            return;
        const std::size_t close = text.find('>', open);
        if (close == std::string_view::npos)
            return;
        visit(text.substr(open, close - open + 1));
        position = close + 1;
    }
}

std::string tagName(std::string_view tag)
{
    std::size_t end = 0;
    while (end < tag.size() && tag[end] != ' ' && tag[end] != '\n' && tag[end] != '\r')
        ++end;
    std::string name(tag.substr(0, end));
    // "<x:row" and "</x:row>" lose their prefix, as the library's strip_ns does.
    const std::size_t start = name.size() > 1 && name[1] == '/' ? 2 : 1;
    std::size_t colon = start;
    while (colon < name.size() && isWordCharacter(name[colon]))
        ++colon;
    if (colon < name.size() && colon > start && name[colon] == ':')
        name.erase(start, colon - start + 1);
    return name;
}

std::size_t firstAttributePosition(std::string_view tag)
{
    std::size_t position = 0;
    while (position < tag.size() && !isSpace(tag[position]))
        ++position;
    return position;
}

std::optional<Attribute> nextAttribute(std::string_view tag, std::size_t& position)
{
    while (position < tag.size()) {
        while (position < tag.size() && (isSpace(tag[position]) || tag[position] == '/' || tag[position] == '?'))
            ++position;
        const std::size_t nameStart = position;
        while (position < tag.size() && !isSpace(tag[position]) && tag[position] != '=' && tag[position] != '>' &&
               tag[position] != '"' && tag[position] != '\'' && tag[position] != '/' && tag[position] != '?')
            ++position;
        const std::string_view name = tag.substr(nameStart, position - nameStart);
        while (position < tag.size() && isSpace(tag[position]))
            ++position;
        if (position >= tag.size() || tag[position] != '=') {
            if (position < tag.size() && name.empty())
                ++position;
            continue;
        }
        ++position;
        while (position < tag.size() && isSpace(tag[position]))
            ++position;
        std::string_view value;
        if (position < tag.size() && (tag[position] == '"' || tag[position] == '\'')) {
            const char quote = tag[position];
            const std::size_t end = tag.find(quote, position + 1);
            if (end == std::string_view::npos) {
                position = tag.size();
                return std::nullopt;
            }
            value = tag.substr(position + 1, end - position - 1);
            position = end + 1;
        } else {
            const std::size_t start = position;
            while (position < tag.size() && !isSpace(tag[position]) && tag[position] != '>' && tag[position] != '"' &&
                   tag[position] != '\'')
                ++position;
            value = tag.substr(start, position - start);
        }
        const std::size_t colon = name.find(':');
        std::string_view local = name;
        if (colon != std::string_view::npos) {
            local = name.substr(colon + 1);
            if (colon == 5 && name.substr(0, 5) == "xmlns")
                continue;
        } else if (const std::size_t underscore = name.find('_');
                   underscore != std::string_view::npos && underscore > 0) {
            local = name.substr(0, underscore);
        }
        return Attribute{local, value};
    }
    return std::nullopt;
}

// Compared a character at a time: the names are a letter or a few, too short for memcmp.
bool isAttributeKey(std::string_view name, std::string_view key)
{
    if (name.size() != key.size())
        return false;
    bool isSame = true;
    bool isSameInLowerCase = true;
    for (std::size_t index = 0; index < name.size(); ++index) {
        isSame = isSame && name[index] == key[index];
        isSameInLowerCase = isSameInLowerCase && asciiLower(name[index]) == key[index];
    }
    return isSame || isSameInLowerCase;
}

std::optional<std::string_view> attribute(std::string_view tag, std::string_view key)
{
    std::optional<std::string_view> found;
    std::size_t position = firstAttributePosition(tag);
    while (const std::optional<Attribute> next = nextAttribute(tag, position)) {
        if (isAttributeKey(next->name, key))
            found = next->value;
    }
    return found;
}

std::optional<std::string> unescapedText(std::string_view text)
{
    if (isPlainText(text))
        return std::string(text);
    if (!text::isValidUTF8(text))
        return std::nullopt;
    const std::size_t cdata = text.find("<![CDATA[");
    if (cdata == std::string_view::npos) {
        std::optional<std::string> decoded = decodeEntities(text);
        if (!decoded)
            return std::nullopt;
        return decodeWorkbookEscapes(std::move(*decoded));
    }
    const std::size_t end = text.find("]]>", cdata);
    if (end == std::string_view::npos)
        return std::nullopt;
    std::optional<std::string> before = unescapedText(text.substr(0, cdata));
    std::optional<std::string> after = unescapedText(text.substr(end + 3));
    if (!before || !after)
        return std::nullopt;
    return *before + std::string(text.substr(cdata + 9, end - cdata - 9)) + *after;
}

std::optional<CellAddress> parseCellAddress(std::string_view text)
{
    std::size_t index = 0;
    std::uint64_t column = 0;
    while (index < text.size() && text[index] >= 'A' && text[index] <= 'Z' && index < 4)
        column = column * 26 + static_cast<std::uint64_t>(text[index++] - 'A' + 1);
    if (index == 0 || index == text.size() || text[index] == '0' || text.size() - index > 7)
        return std::nullopt;
    std::uint64_t row = 0;
    for (; index < text.size(); ++index) {
        if (text[index] < '0' || text[index] > '9')
            return std::nullopt;
        row = row * 10 + static_cast<std::uint64_t>(text[index] - '0');
    }
    return CellAddress{static_cast<std::uint32_t>(row - 1), static_cast<std::uint32_t>(column - 1)};
}

}  // namespace rowlark::workbook
