#include "engine/workbook/NativeReader.h"
#include "engine/workbook/container/XMLScan.h"
#include "engine/workbook/ods/ODSManifest.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/SheetCells.h"
#include "engine/workbook/format/CivilDate.h"
#include "engine/workbook/format/NumberFormat.h"

// The spreadsheet-reader library reads an ODS content.xml with a regular expression over the
// text, not with an XML parser: tags are known by their local name whatever their prefix, the
// text of a paragraph is its raw markup with white space folded and the tags removed, and a
// cell's range, repeats and value follow its own rules. This reader scans the markup the same
// way, in a strict form in which the two agree; whatever falls outside that form is declined.

namespace rowlark::workbook {
namespace {

// Markup or paragraph text that has not ended after this much is left to the library.
constexpr std::size_t maximumPendingBytes = std::size_t(64) << 20;
// Repeats and positions saturate at hugeRepeat, far past any sheet; a range spanning farIndex
// rows or columns is past every limit.
constexpr std::int64_t farIndex = std::int64_t(1) << 31;
constexpr std::int64_t hugeRepeat = std::int64_t(1) << 40;

[[noreturn]] void decline()
{
    throw ReadDeclined();
}

char lowered(char character)
{
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool isXMLSpace(char character)
{
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

// A whole number of decimal digits, saturated far past any sheet's size; none otherwise.
std::optional<std::int64_t> repeatCount(std::string_view digits)
{
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    std::int64_t count = 0;
    for (const char digit : digits)
        count = std::min(hugeRepeat, count * 10 + (digit - '0'));
    return count;
}

// --- UTF-8 ---

// Checks that a stream is well-formed UTF-8, across chunk boundaries: the library decodes
// without checking, and a broken sequence may swallow the markup after it.
class UTF8Check {
public:
    bool accept(std::string_view bytes)
    {
        for (std::size_t index = 0; index < bytes.size(); ++index) {
            if (needed_ == 0 && index + 8 <= bytes.size()) {
                std::uint64_t eight;
                std::memcpy(&eight, bytes.data() + index, 8);
                if ((eight & 0x8080808080808080u) == 0) {
                    index += 7;
                    continue;
                }
            }
            const auto byte = static_cast<unsigned char>(bytes[index]);
            if (needed_ == 0) {
                if (byte < 0x80)
                    continue;
                if (byte >= 0xC2 && byte <= 0xDF)
                    expect(1, 0x80, 0xBF);
                else if (byte >= 0xE0 && byte <= 0xEF)
                    expect(2, byte == 0xE0 ? 0xA0 : 0x80, byte == 0xED ? 0x9F : 0xBF);
                else if (byte >= 0xF0 && byte <= 0xF4)
                    expect(3, byte == 0xF0 ? 0x90 : 0x80, byte == 0xF4 ? 0x8F : 0xBF);
                else
                    return false;
                continue;
            }
            if (byte < lower_ || byte > upper_)
                return false;
            --needed_;
            lower_ = 0x80;
            upper_ = 0xBF;
        }
        return true;
    }
    bool isComplete() const { return needed_ == 0; }

private:
    void expect(int needed, unsigned char lower, unsigned char upper)
    {
        needed_ = needed;
        lower_ = lower;
        upper_ = upper;
    }

    int needed_ = 0;
    unsigned char lower_ = 0x80;
    unsigned char upper_ = 0xBF;
};

// The length of a white space character as the library's trim() knows it at `text[at]`
// (reading forwards) or ending at `text[at - 1]` (backwards); 0 for any other character.
std::size_t trimmedSpaceAt(std::string_view text, std::size_t at, bool isBackwards)
{
    if (isBackwards ? at == 0 : at >= text.size())
        return 0;
    const auto byte = static_cast<unsigned char>(text[isBackwards ? at - 1 : at]);
    if (byte < 0x80 && byte != ' ' && (byte < '\t' || byte > '\r'))
        return 0;
    static constexpr std::array<std::string_view, 20> spaces = {
        " ",      "\t",     "\n",     "\v",     "\f",     "\r",     "\u00A0", "\u1680", "\u2000", "\u2001",
        "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A", "\u3000"};
    static constexpr std::array<std::string_view, 5> moreSpaces = {"\u2028", "\u2029", "\u202F", "\u205F", "\uFEFF"};
    const auto matches = [&](std::string_view space) {
        return isBackwards ? at >= space.size() && text.substr(at - space.size(), space.size()) == space
                           : text.substr(at, space.size()) == space;
    };
    for (const std::string_view space : spaces)
        if (matches(space))
            return space.size();
    for (const std::string_view space : moreSpaces)
        if (matches(space))
            return space.size();
    return 0;
}

std::string_view trimmed(std::string_view text)
{
    std::size_t first = 0;
    while (const std::size_t size = trimmedSpaceAt(text, first, false))
        first += size;
    std::size_t last = text.size();
    while (last > first) {
        const std::size_t size = trimmedSpaceAt(text, last, true);
        if (size == 0)
            break;
        last -= size;
    }
    return text.substr(first, last - first);
}

// --- the library's XML unescaping ---

// A character the library makes of a numeric reference; none where its result would not be
// one valid character (it keeps only 16 bits and makes lone surrogates and NUL).
// The five named entities and numeric references, then the _xHHHH_ escapes of the result.
std::string unescapedXML(std::string_view text)
{
    std::optional<std::string> unescaped = unescapedText(text);
    if (!unescaped)
        decline();
    return std::move(*unescaped);
}

// --- the text of a paragraph ---

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    std::string replaced;
    std::size_t at = 0;
    for (std::size_t found; (found = text.find(from, at)) != std::string::npos; at = found + from.size())
        replaced.append(text, at, found - at).append(to);
    if (at == 0)
        return;
    replaced.append(text, at);
    text = std::move(replaced);
}

// The raw markup of a paragraph, as the library shows it: line breaks and tabs as spaces,
// trimmed, runs of spaces folded, then the space, tab and line-break elements in the exact
// spelling it looks for, the other tags removed and the result unescaped.
std::string paragraphText(std::string_view raw)
{
    std::string text(raw);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    const std::string_view kept = trimmed(text);
    if (kept.size() != text.size())
        text = std::string(kept);
    text.erase(std::unique(text.begin(), text.end(), [](char left, char right) { return left == ' ' && right == ' '; }),
               text.end());
    if (text.find('<') == std::string::npos && text.find('&') == std::string::npos &&
        text.find('_') == std::string::npos)
        return text;

    replaceAll(text, "<text:s/>", " ");
    std::string expanded;
    constexpr std::string_view spaces = "<text:s text:c=\"";
    std::size_t at = 0;
    for (std::size_t found; (found = text.find(spaces, at)) != std::string::npos;) {
        std::size_t end = found + spaces.size();
        while (end < text.size() && isDigit(text[end]))
            ++end;
        if (end == found + spaces.size() || text.compare(end, 3, "\"/>") != 0) {
            expanded.append(text, at, end - at);
            at = end;
            continue;
        }
        const auto count =
            repeatCount(std::string_view(text).substr(found + spaces.size(), end - found - spaces.size()));
        if (*count > 1000000)
            decline();
        expanded.append(text, at, found - at).append(static_cast<std::size_t>(*count), ' ');
        at = end + 3;
    }
    expanded.append(text, at);

    std::string stripped;
    for (std::size_t position = 0; position < expanded.size();) {
        const std::size_t open = expanded.find('<', position);
        stripped.append(expanded, position, open - position);
        if (open == std::string::npos)
            break;
        const std::size_t close = expanded.find('>', open);
        if (close == std::string::npos) {
            stripped.append(expanded, open);
            break;
        }
        const std::string_view tag = std::string_view(expanded).substr(open, close + 1 - open);
        if (tag.starts_with("<text:tab") && tag.size() >= 11 && tag[tag.size() - 2] == '/')
            stripped += '\t';
        else if (tag == "<text:line-break/>")
            stripped += '\n';
        position = close + 1;
    }
    return unescapedXML(stripped);
}

// Whether a paragraph's raw markup is its text as it stands: nothing to fold, trim, expand or unescape.
bool isPlainParagraph(std::string_view raw)
{
    if (raw.empty())
        return true;
    if (trimmedSpaceAt(raw, 0, false) != 0 || trimmedSpaceAt(raw, raw.size(), true) != 0)
        return false;
    char previous = 0;
    for (const char character : raw) {
        if (character == '\t' || character == '\r' || character == '\n' || character == '<' || character == '&' ||
            character == '_' || (character == ' ' && previous == ' '))
            return false;
        previous = character;
    }
    return true;
}

void appendParagraphText(std::string& text, std::string_view raw)
{
    if (isPlainParagraph(raw))
        text.append(raw);
    else
        text.append(paragraphText(raw));
}

// --- numbers ---

// The number at the start of a value the way the library parses it, in the plain forms only.
double parsedNumber(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !isDigit(text.back()))
        decline();
    return value;
}

// --- dates ---

constexpr double millisecondsPerDay = 86400000.0;
// 1899-12-30, the day numbers' origin, in milliseconds from 1970-01-01.
constexpr double dayNumberOrigin = -2209161600000.0;

unsigned fixedDigits(std::string_view text, std::size_t at, std::size_t count)
{
    if (text.size() < at + count || !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                                                 text.begin() + static_cast<std::ptrdiff_t>(at + count), isDigit))
        decline();
    unsigned value = 0;
    for (std::size_t index = at; index < at + count; ++index)
        value = value * 10 + static_cast<unsigned>(text[index] - '0');
    return value;
}

// The day number of an office:date-value: YYYY-MM-DD, optionally THH:MM:SS and a fraction of
// three digits, read in UTC as the reader does.
double dateNumber(std::string_view text)
{
    if (text.size() != 10 && text.size() != 19 && text.size() != 23)
        decline();
    const unsigned year = fixedDigits(text, 0, 4), month = fixedDigits(text, 5, 2), day = fixedDigits(text, 8, 2);
    if (text[4] != '-' || text[7] != '-' || month < 1 || month > 12 || day < 1 ||
        day > static_cast<unsigned>(daysFromCivil(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1) -
                                    daysFromCivil(year, month, 1)))
        decline();
    double milliseconds = static_cast<double>(daysFromCivil(year, month, day)) * millisecondsPerDay;
    if (text.size() > 10) {
        const unsigned hours = fixedDigits(text, 11, 2), minutes = fixedDigits(text, 14, 2),
                       seconds = fixedDigits(text, 17, 2);
        if (text[10] != 'T' || text[13] != ':' || text[16] != ':' || hours > 23 || minutes > 59 || seconds > 59)
            decline();
        milliseconds += ((hours * 60.0 + minutes) * 60.0 + seconds) * 1000.0;
        if (text.size() == 23) {
            if (text[19] != '.')
                decline();
            milliseconds += fixedDigits(text, 20, 3);
        }
    }
    return (milliseconds - dayNumberOrigin) / millisecondsPerDay;
}

// The day fraction of an office:time-value, PT[nH][nM][n[.n]S], whole seconds as the library
// counts them.
double timeNumber(std::string_view text)
{
    if (!text.starts_with("PT") || text.size() == 2)
        decline();
    double seconds = 0;
    std::size_t at = 2;
    for (const auto& [unit, factor] : std::array<std::pair<char, double>, 3>{{{'H', 3600}, {'M', 60}, {'S', 1}}}) {
        std::size_t end = at;
        while (end < text.size() && isDigit(text[end]))
            ++end;
        const std::size_t wholeEnd = end;
        if (unit == 'S' && end < text.size() && text[end] == '.' && end + 1 < text.size() && isDigit(text[end + 1]))
            for (++end; end < text.size() && isDigit(text[end]);)
                ++end;
        if (end == at || end >= text.size() || text[end] != unit)
            continue;
        const auto count = repeatCount(text.substr(at, wholeEnd - at));
        if (!count || *count >= hugeRepeat)
            decline();
        seconds += static_cast<double>(*count) * factor;
        at = end + 1;
    }
    if (at != text.size())
        decline();
    return seconds / 86400;
}

// --- markup ---

struct Attribute {
    std::string_view name;
    std::string_view value;
};

struct Tag {
    std::string_view markup;  // from < to >
    std::string_view localName;
    bool isClosing = false;
    bool isSelfClosing = false;
    const std::vector<Attribute>* attributes = nullptr;
};

// The attributes of a tag as the library keys them: by local name, the first of a name kept
// against a later one from an "…ext" namespace, and again by the name in lower case.
class TagAttributes {
public:
    explicit TagAttributes(const Tag& tag)
    {
        // Only a space or line break ends the tag's name for the library; tabs alone hide the attributes.
        if (tag.attributes->empty() || std::none_of(tag.markup.begin(), tag.markup.end(),
                                                    [](char c) { return c == ' ' || c == '\r' || c == '\n'; }))
            return;
        for (const Attribute& attribute : *tag.attributes)
            add(attribute);
    }

    std::optional<std::string_view> get(std::string_view key) const
    {
        for (std::size_t index = 0; index < count_; ++index)
            if (isSameKey(entries_[index], key))
                return entries_[index].value;
        return std::nullopt;
    }
    std::string_view text(std::string_view key) const { return get(key).value_or(std::string_view()); }

private:
    struct Entry {
        std::string_view key;
        bool isLowered;
        std::string_view value;
    };

    static bool isSameKey(const Entry& entry, std::string_view key)
    {
        if (!entry.isLowered)
            return entry.key == key;
        return entry.key.size() == key.size() &&
               std::equal(key.begin(), key.end(), entry.key.begin(),
                          [](char wanted, char actual) { return wanted == lowered(actual); });
    }

    void set(std::string_view key, bool isLowered, std::string_view value)
    {
        for (std::size_t index = 0; index < count_; ++index) {
            Entry& entry = entries_[index];
            const bool isSame =
                isLowered ? entry.key.size() == key.size() &&
                                std::equal(key.begin(), key.end(), entry.key.begin(),
                                           [&entry](char wanted, char actual) {
                                               return lowered(wanted) == (entry.isLowered ? lowered(actual) : actual);
                                           })
                          : isSameKey(entry, key);
            if (isSame) {
                entry.value = value;
                return;
            }
        }
        if (count_ == entries_.size())
            decline();
        entries_[count_++] = {key, isLowered, value};
    }

    void add(const Attribute& attribute)
    {
        std::string_view key = attribute.name;
        const std::size_t colon = key.find(':');
        if (colon == std::string_view::npos) {
            const std::size_t underscore = key.find('_');
            if (underscore != std::string_view::npos && underscore > 0)
                key = key.substr(0, underscore);
        } else {
            if (colon == 5 && key.starts_with("xmlns"))
                return;  // keyed apart from every name read here
            const std::string_view prefix = key.substr(0, colon);
            key = key.substr(colon + 1);
            const auto existing = get(key);
            if (existing && !existing->empty() && prefix.size() >= 3 && prefix.substr(prefix.size() - 3) == "ext")
                return;
        }
        set(key, false, attribute.value);
        if (std::any_of(key.begin(), key.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
            set(key, true, attribute.value);
    }

    std::array<Entry, 32> entries_;
    std::size_t count_ = 0;
};

// Reads tags and the text between them from markup arriving in chunks, in the strict form in
// which the library's scan and an XML parser read the same: comments are dropped as the library
// drops them; CDATA, declarations and processing instructions after the prolog, other white
// space in tags, unquoted or oddly spaced attributes, and tags that do not nest are declined.
class MarkupScanner {
public:
    template<typename Handler> void feed(std::string_view chunk, Handler& handler)
    {
        if (!utf8_.accept(chunk))
            decline();
        pending_.append(chunk);
        std::size_t position = 0;
        while (position < pending_.size()) {
            const std::size_t open = pending_.find('<', position);
            if (open == std::string::npos)
                break;
            if (open > position)
                handler.text(std::string_view(pending_).substr(position, open - position));
            position = open;
            const std::string_view rest = std::string_view(pending_).substr(open);
            if (rest.size() < 4 && std::string_view("<!--").starts_with(rest))
                break;
            if (rest.starts_with("<!--")) {
                const std::size_t end = rest.find("-->", 4);
                if (end == std::string_view::npos)
                    break;
                position = open + end + 3;
                continue;
            }
            if (rest[1] == '!' || (rest[1] == '?' && hasRoot_))
                decline();
            const std::size_t end = rest.find(rest[1] == '?' ? "?>" : ">");
            if (end == std::string_view::npos)
                break;
            if (rest[1] != '?')
                handler.tag(tagOf(rest.substr(0, end + 1)));
            position = open + end + (rest[1] == '?' ? 2 : 1);
        }
        pending_.erase(0, position);
        if (pending_.size() > maximumPendingBytes)
            decline();
    }

    // After the last chunk: the markup must have ended, every element closed.
    void finish() const
    {
        const bool isBlank = std::all_of(pending_.begin(), pending_.end(), isXMLSpace);
        if (!utf8_.isComplete() || !isBlank || !hasRoot_ || !openStarts_.empty())
            decline();
    }

private:
    static bool isNameCharacter(char character)
    {
        return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') || isDigit(character) ||
               character == '-' || character == '.' || character == '_' || character == ':';
    }

    static std::size_t nameEnd(std::string_view markup, std::size_t at)
    {
        const std::size_t end =
            std::find_if_not(markup.begin() + static_cast<std::ptrdiff_t>(at), markup.end(), isNameCharacter) -
            markup.begin();
        const std::string_view name = markup.substr(at, end - at);
        if (name.empty() || name.front() == ':' || name.back() == ':' || std::count(name.begin(), name.end(), ':') > 1)
            decline();
        return end;
    }

    Tag tagOf(std::string_view markup)
    {
        Tag tag;
        tag.markup = markup;
        tag.isClosing = markup[1] == '/';
        const std::size_t nameStart = tag.isClosing ? 2 : 1;
        const std::size_t end = nameEnd(markup, nameStart);
        const std::string_view name = markup.substr(nameStart, end - nameStart);
        const std::size_t colon = name.find(':');
        tag.localName = colon == std::string_view::npos ? name : name.substr(colon + 1);
        tag.localName = tag.localName.substr(0, tag.localName.find('_'));

        std::size_t at = end;
        attributes_.clear();
        const std::size_t last = markup.size() - 1;
        while (true) {
            const std::size_t spaceStart = at;
            while (at < last && isXMLSpace(markup[at]))
                ++at;
            if (at == last || (!tag.isClosing && at == last - 1 && markup[at] == '/'))
                break;
            if (tag.isClosing || at == spaceStart)
                decline();
            const std::size_t attributeEnd = nameEnd(markup, at);
            if (attributeEnd + 1 >= last || markup[attributeEnd] != '=' ||
                (markup[attributeEnd + 1] != '"' && markup[attributeEnd + 1] != '\''))
                decline();
            const std::size_t valueEnd = markup.find(markup[attributeEnd + 1], attributeEnd + 2);
            if (valueEnd >= last)
                decline();
            const std::string_view value = markup.substr(attributeEnd + 2, valueEnd - attributeEnd - 2);
            if (value.find('<') != std::string_view::npos)
                decline();
            attributes_.push_back({markup.substr(at, attributeEnd - at), value});
            at = valueEnd + 1;
        }
        tag.isSelfClosing = !tag.isClosing && markup[last - 1] == '/';
        tag.attributes = &attributes_;

        if (tag.isClosing) {
            if (openStarts_.empty() || std::string_view(openNames_).substr(openStarts_.back()) != name)
                decline();
            openNames_.resize(openStarts_.back());
            openStarts_.pop_back();
        } else if (!tag.isSelfClosing) {
            if (hasRoot_ && openStarts_.empty())
                decline();
            openStarts_.push_back(openNames_.size());
            openNames_.append(name);
        }
        hasRoot_ = true;
        return tag;
    }

    UTF8Check utf8_;
    std::string pending_;
    // The names of the open elements, one after another.
    std::string openNames_;
    std::vector<std::size_t> openStarts_;
    std::vector<Attribute> attributes_;
    bool hasRoot_ = false;
};

// --- the sheets ---

enum class ValueType { string, number, date, time, boolean };

std::optional<ValueType> valueTypeOf(std::string_view name)
{
    if (name.empty() || name == "string" || name == "text")
        return ValueType::string;
    if (name == "float" || name == "percentage" || name == "currency")
        return ValueType::number;
    if (name == "date")
        return ValueType::date;
    if (name == "time")
        return ValueType::time;
    if (name == "boolean")
        return ValueType::boolean;
    return std::nullopt;
}

struct CellRun {
    std::int64_t row;
    std::int64_t rowCount;
    std::int64_t firstColumn;
    std::int64_t lastColumn;
    std::string text;
};

// The library's walk over content.xml, reduced to what decides the sheet names and the texts
// of the selected sheet's cells.
class ODSContent {
public:
    ODSContent(const NativeRequest& request, std::stop_token stop)
        : request_(request)
        , stop_(std::move(stop))
    {
    }

    void text(std::string_view text)
    {
        if (isParagraphOpen())
            appendToParagraph(text);
    }

    void tag(const Tag& tag)
    {
        handle(tag);
        if (isParagraphOpen() && !isMarkJustSet_)
            appendToParagraph(tag.markup);
        isMarkJustSet_ = false;
    }

    const std::vector<std::string>& sheetNames() const { return sheetNames_; }
    bool hasSelectedSheet() const { return selectedCount_ > 0; }
    bool isSelectedSheetAmbiguous() const { return selectedCount_ > 1; }
    SheetCells takeCells() { return std::move(cells_); }

private:
    enum class State { masterStyles, other };

    bool isParagraphOpen() const { return paragraphDepth_ > 0; }

    void appendToParagraph(std::string_view text)
    {
        paragraph_.append(text);
        if (paragraph_.size() > maximumPendingBytes)
            decline();
    }

    void handle(const Tag& tag)
    {
        const std::string_view name = tag.localName;
        if (name == "table")
            return table(tag);
        if (name == "table-row")
            return row(tag);
        if (name == "covered-table-cell") {
            if (!tag.isClosing)
                ++column_;
            cellText_.clear();
            return;
        }
        if (name == "table-cell")
            return cell(tag);
        if (name == "p")
            return paragraph(tag);
        if (name == "document" || name == "document-content" || name == "spreadsheet" || name == "scripts" ||
            name == "styles" || name == "font-face-decls" || name == "master-styles" || name == "number-style" ||
            name == "percentage-style" || name == "date-style" || name == "time-style")
            return pushOrPop(tag, name == "master-styles" ? State::masterStyles : State::other);
        if (name == "annotation" || name == "meta" || name == "settings" || name == "config-item-set" ||
            name == "config-item-map-indexed" || name == "config-item-map-entry" || name == "config-item-map-named" ||
            name == "shapes" || name == "frame" || name == "text-box" || name == "image" ||
            name == "data-pilot-tables" || name == "list-style" || name == "form" || name == "dde-links" ||
            name == "event-listeners" || name == "chart") {
            pushOrPop(tag, State::other);
            // The library forgets where the paragraph began: its end would take the document so far.
            isParagraphStartLost_ = isParagraphOpen();
            cellText_.clear();
            return;
        }
        // Where the library reads the innermost state, it fails without one.
        const bool readsState = name == "number" || name == "day" || name == "month" || name == "year" ||
                                name == "era" || name == "day-of-week" || name == "week-of-year" || name == "quarter" ||
                                name == "hours" || name == "minutes" || name == "seconds" || name == "am-pm" ||
                                (name == "text" && tag.isClosing);
        if (readsState && states_.empty())
            decline();
        if (name == "named-range" && !TagAttributes(tag).get("cell-range-address"))
            decline();
    }

    void pushOrPop(const Tag& tag, State state)
    {
        if (tag.isClosing)
            states_.pop_back();
        else if (!tag.isSelfClosing)
            states_.push_back(state);
    }

    void table(const Tag& tag)
    {
        if (tag.isSelfClosing)
            return;
        if (!tag.isClosing) {
            if (isInTable_)
                decline();
            const TagAttributes attributes(tag);
            const auto name = attributes.get("name");
            if (!name)
                decline();
            sheetName_ = std::string(*name);
            isInTable_ = true;
            isSelected_ =
                !request_.isNamesOnly && (request_.sheet ? *request_.sheet == sheetName_ : sheetNames_.empty());
            selectedCount_ += isSelected_ ? 1 : 0;
            row_ = column_ = -1;
            range_.reset();
            runs_.clear();
            return;
        }
        if (isSelected_)
            finishSelectedSheet();
        else if (!request_.isNamesOnly &&
                 sheetName_ == request_.sheet.value_or(sheetNames_.empty() ? "" : sheetNames_.front()))
            ++selectedCount_;  // the library would read this later sheet of the same name
        sheetNames_.push_back(std::move(sheetName_));
        isInTable_ = false;
        isSelected_ = false;
    }

    void row(const Tag& tag)
    {
        if (tag.isClosing) {
            row_ = std::min(row_ + rowRepeat_, hugeRepeat);
            rowRepeat_ = 1;
            return;
        }
        if (tag.isSelfClosing)
            decline();  // the library does not move past it
        if (row_ == -1)
            row_ = 0;
        const auto repeat = TagAttributes(tag).get("number-rows-repeated");
        const auto count = repeat ? repeatCount(*repeat) : std::optional<std::int64_t>(1);
        if (!count)
            decline();
        rowRepeat_ = std::max<std::int64_t>(*count, 1);
        column_ = -1;
    }

    // A cell: ++C, then its body; a self-closing one with a value reads as one with an empty body.
    void cell(const Tag& tag)
    {
        if (tag.isClosing)
            return closeCell();
        if (isInCell_)
            decline();
        const TagAttributes attributes(tag);
        const auto type = valueTypeOf(attributes.text("value-type"));
        const auto repeat = attributes.get("number-columns-repeated");
        const auto count = repeat ? repeatCount(*repeat) : std::optional<std::int64_t>(1);
        const auto stringValue = attributes.get("string-value");
        isStringValued_ = stringValue && !stringValue->empty();
        if (tag.isSelfClosing) {
            const bool holdsValue = type && (*type != ValueType::string || isStringValued_);
            if (!holdsValue) {
                if (!count || *count < 1)
                    decline();
                column_ = std::min(column_ + *count, hugeRepeat);
                return;
            }
        } else if (!type) {
            decline();  // the library fails on it
        }
        if (!count || *count < 1)
            decline();
        openCell(attributes, *type, *count, stringValue);
        if (tag.isSelfClosing)
            closeCell();
    }

    void openCell(const TagAttributes& attributes, ValueType type, std::int64_t columnRepeat,
                  std::optional<std::string_view> stringValue)
    {
        ++column_;
        isInCell_ = true;
        cellText_.clear();
        cellType_ = type;
        columnRepeat_ = columnRepeat;
        if (type == ValueType::time)
            valueText_ = dateCellText(timeNumber(attributes.text("time-value")), false);
        if (!isSelected_)
            return;
        if (row_ < 0)
            decline();
        const std::int64_t lastRow = row_ + rowRepeat_ - 1;
        // The library starts the range's corners at row and column 10,000,000 and at A1.
        if (!range_)
            range_ = Range{10000000, 10000000, 0, 0};
        range_->firstRow = std::min(range_->firstRow, row_);
        range_->lastRow = std::max(range_->lastRow, lastRow);
        range_->firstColumn = std::min(range_->firstColumn, column_);
        range_->lastColumn = std::max(range_->lastColumn, column_);
        if (!range_->isWithinLimits())
            throw ImportError::worksheetTooLarge();
        switch (type) {
        case ValueType::string:
            if (stringValue)
                cellText_ = unescapedXML(*stringValue);
            break;
        case ValueType::number:
            valueText_ = attributes.text("value");
            break;
        case ValueType::date:
            valueText_ = dateCellText(dateNumber(attributes.text("date-value")), false);
            break;
        case ValueType::boolean: {
            const std::string_view value = attributes.text("boolean-value");
            valueText_ = value == "1" || value == "true" || value == "TRUE" ? "TRUE" : "FALSE";
            break;
        }
        case ValueType::time:
            break;
        }
    }

    void closeCell()
    {
        if (!isInCell_)
            decline();
        isInCell_ = false;
        if (isSelected_)
            storeCell(displayedText());
        column_ = std::min(column_ + columnRepeat_ - 1, hugeRepeat);
        cellText_.clear();
    }

    // The script shows dates and times by their day number, other cells by the text of their
    // paragraphs, or when that is empty by their value in the General format.
    std::string_view displayedText()
    {
        switch (cellType_) {
        case ValueType::string:
            return cellText_;
        case ValueType::date:
        case ValueType::time:
            return valueText_;
        case ValueType::number:
            if (cellText_.empty())
                valueText_ = generalNumberText(parsedNumber(valueText_));
            return cellText_.empty() ? valueText_ : cellText_;
        case ValueType::boolean:
            return cellText_.empty() ? valueText_ : cellText_;
        }
        return {};
    }

    void storeCell(std::string_view text)
    {
        if (text.empty())
            return;
        for (std::int64_t repeat = 0; repeat < rowRepeat_; ++repeat) {
            if (repeat % 4096 == 4095 && stop_.stop_requested())
                throw ImportCancelled();
            cells_.add(static_cast<std::uint32_t>(row_ + repeat), static_cast<std::uint32_t>(column_), text);
        }
        // The copies to the right count only where the used range reaches, known at the end.
        if (columnRepeat_ > 1)
            runs_.push_back({row_, rowRepeat_, column_ + 1, column_ + columnRepeat_ - 1, std::string(text)});
    }

    void finishSelectedSheet()
    {
        // The library's range of a sheet without a cell that has a body is A1:A1.
        const Range range = range_.value_or(Range{0, 0, 0, 0});
        std::size_t added = 0;
        for (const CellRun& run : runs_) {
            const std::int64_t lastColumn = std::min(run.lastColumn, range.lastColumn);
            for (std::int64_t row = run.row; row < run.row + run.rowCount; ++row) {
                for (std::int64_t column = run.firstColumn; column <= lastColumn; ++column) {
                    if (++added % 4096 == 0 && stop_.stop_requested())
                        throw ImportCancelled();
                    cells_.add(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), run.text);
                }
            }
        }
        runs_.clear();
        cells_.declareRange(range.cellRange());
    }

    void paragraph(const Tag& tag)
    {
        if (tag.isClosing)
            --paragraphDepth_;
        if (states_.empty())
            decline();
        if (states_.back() == State::masterStyles)
            return adjustDepth(tag);
        if (tag.isClosing && !isStringValued_) {
            if (isParagraphStartLost_)
                decline();
            if (!cellText_.empty())
                cellText_ += '\n';
            appendParagraphText(cellText_, paragraph_);
        } else {
            isParagraphStartLost_ = false;
            paragraph_.clear();
            isMarkJustSet_ = true;
        }
        adjustDepth(tag);
    }

    void adjustDepth(const Tag& tag)
    {
        if (!tag.isClosing && !tag.isSelfClosing)
            ++paragraphDepth_;
        if (paragraphDepth_ == 0)
            paragraph_.clear();
    }

    struct Range {
        std::int64_t firstRow;
        std::int64_t firstColumn;
        std::int64_t lastRow;
        std::int64_t lastColumn;

        bool isWithinLimits() const
        {
            return lastRow - firstRow < farIndex && lastColumn - firstColumn < farIndex && cellRange().isWithinLimits();
        }
        CellRange cellRange() const
        {
            return {static_cast<std::uint32_t>(firstRow), static_cast<std::uint32_t>(firstColumn),
                    static_cast<std::uint32_t>(lastRow), static_cast<std::uint32_t>(lastColumn)};
        }
    };

    const NativeRequest& request_;
    std::stop_token stop_;
    std::vector<std::string> sheetNames_;
    std::vector<State> states_;
    std::string sheetName_;
    bool isInTable_ = false;
    bool isSelected_ = false;
    int selectedCount_ = 0;

    std::int64_t row_ = -1;
    std::int64_t column_ = -1;
    std::int64_t rowRepeat_ = 1;
    std::optional<Range> range_;
    std::vector<CellRun> runs_;
    SheetCells cells_;

    bool isInCell_ = false;
    ValueType cellType_ = ValueType::string;
    std::int64_t columnRepeat_ = 1;
    bool isStringValued_ = false;
    std::string valueText_;
    std::string cellText_;

    std::string paragraph_;
    int paragraphDepth_ = 0;
    bool isMarkJustSet_ = false;
    bool isParagraphStartLost_ = false;
};

}  // namespace

WorkbookPayload readODS(ZIPArchive& archive, const NativeRequest& request, std::stop_token stop)
{
    const ZIPEntry* manifest = archive.find("META-INF/manifest.xml");
    const ZIPEntry* content = archive.find("content.xml");
    if (!manifest || !content)
        decline();
    const std::optional<bool> isEncrypted = isEncryptedManifest(archive.readAll(*manifest));
    if (!isEncrypted)
        decline();
    if (*isEncrypted)
        throw ImportError::encryptedWorkbook();

    MarkupScanner scanner;
    ODSContent document(request, stop);
    std::optional<ImportError> tooLarge;
    archive.read(*content, [&](std::string_view chunk) {
        if (stop.stop_requested())
            throw ImportCancelled();
        if (tooLarge)
            return;
        try {
            scanner.feed(chunk, document);
        } catch (const ImportError& error) {
            // A damaged or oversized part elsewhere in the archive still decides first.
            tooLarge = error;
        }
    });
    archive.checkUnreadEntries();
    if (tooLarge)
        throw *tooLarge;
    scanner.finish();

    std::vector<std::string> names = document.sheetNames();
    if (request.isNamesOnly) {
        WorkbookPayload payload;
        payload.sheetNames = std::move(names);
        return payload;
    }
    if (!document.hasSelectedSheet())
        throw ImportError::sheetNotFound(request.sheet.value_or(std::string()));
    if (document.isSelectedSheetAmbiguous())
        decline();
    return document.takeCells().payload(std::move(names), stop);
}

}  // namespace rowlark::workbook
