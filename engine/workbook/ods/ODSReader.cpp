#include "engine/workbook/NativeReader.h"
#include "engine/workbook/container/XMLScan.h"
#include "engine/workbook/ods/ODSManifest.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>

#include "engine/text/Encoding.h"
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

// The raw markup of a paragraph as a spreadsheet shows it: XML white space (line breaks, tabs and
// spaces) folded into one space and dropped at the start, then the space, tab and line-break
// elements in the exact spelling the library looks for, the other tags removed and the result
// unescaped. Spaces at the end and other spaces (no-break spaces) are the paragraph's own.
std::string paragraphText(std::string_view raw)
{
    std::string text(raw);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    text.erase(std::unique(text.begin(), text.end(), [](char left, char right) { return left == ' ' && right == ' '; }),
               text.end());
    if (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
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

// Whether a paragraph's raw markup is its text as it stands: nothing to fold, drop, expand or
// unescape.
bool isPlainParagraph(std::string_view raw)
{
    if (!raw.empty() && raw.front() == ' ')
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

// The number of an office:value in the plain forms only; INF, -INF and NaN as LibreOffice writes
// the numbers past the largest double.
double parsedNumber(std::string_view text)
{
    if (text == "INF" || text == "-INF")
        return text.front() == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    if (text == "NaN")
        return std::numeric_limits<double>::quiet_NaN();
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !isDigit(text.back()))
        decline();
    return value;
}

// Whether a paragraph is a number as "General" writes one (-12.5, 3.1E-07), not a text a formula's
// result shows as (TRUE, 00:00:00).
bool isGeneralNumberText(std::string_view text)
{
    std::size_t at = text.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t start = at;
        while (at < text.size() && isDigit(text[at]))
            ++at;
        return at > start;
    };
    if (!digits())
        return false;
    if (at < text.size() && text[at] == '.' && (++at, !digits()))
        return false;
    if (at < text.size() && text[at] == 'E') {
        if (++at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        if (!digits())
            return false;
    }
    return at == text.size();
}

// The digits of a number text's mantissa from the first one that is not 0.
std::size_t significantDigitCount(std::string_view text)
{
    text = text.substr(0, text.find('E'));
    std::size_t count = 0;
    for (const char character : text)
        if (isDigit(character) && (count > 0 || character != '0'))
            ++count;
    return count;
}

// --- dates and times ---

// The number of `count` digits at `at`; none unless they are all digits.
std::optional<unsigned> fixedDigits(std::string_view text, std::size_t at, std::size_t count)
{
    if (text.size() < at + count || !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                                                 text.begin() + static_cast<std::ptrdiff_t>(at + count), isDigit))
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t index = at; index < at + count; ++index)
        value = value * 10 + static_cast<unsigned>(text[index] - '0');
    return value;
}

// Whether the text from `at` on is a fraction of a second: a point and digits.
bool isFractionOfSecond(std::string_view text, std::size_t at)
{
    return text.size() > at + 1 && text[at] == '.' &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at + 1), text.end(), isDigit);
}

// hours:minutes:seconds with two digits each at least.
std::string clockText(std::uint64_t hours, unsigned minutes, unsigned seconds)
{
    std::string text = hours < 10 ? "0" : "";
    text += std::to_string(hours);
    for (const unsigned field : {minutes, seconds}) {
        text += field < 10 ? ":0" : ":";
        text += std::to_string(field);
    }
    return text;
}

// An office:date-value: a day, and a time of day to the second with the fraction of the second
// apart.
struct DateValue {
    unsigned year = 0;
    unsigned month = 1;
    unsigned day = 1;
    unsigned hours = 0;
    unsigned minutes = 0;
    unsigned seconds = 0;
    double fractionOfSecond = 0;
};

// The date of an office:date-value, YYYY-MM-DD with THH:MM:SS and a fraction optional. None for a
// value of another form, such as the one LibreOffice writes for a number past every date.
std::optional<DateValue> dateValue(std::string_view text)
{
    if (text.size() < 10 || (text.size() > 10 && text.size() < 19))
        return std::nullopt;
    const auto year = fixedDigits(text, 0, 4), month = fixedDigits(text, 5, 2), day = fixedDigits(text, 8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-' || *month < 1 || *month > 12 || *day < 1 ||
        *day > static_cast<unsigned>(daysFromCivil(*month == 12 ? *year + 1 : *year, *month == 12 ? 1 : *month + 1, 1) -
                                     daysFromCivil(*year, *month, 1)))
        return std::nullopt;
    DateValue value{*year, *month, *day};
    if (text.size() == 10)
        return value;
    const auto hours = fixedDigits(text, 11, 2), minutes = fixedDigits(text, 14, 2), seconds = fixedDigits(text, 17, 2);
    if (!hours || !minutes || !seconds || text[10] != 'T' || text[13] != ':' || text[16] != ':' || *hours > 23 ||
        *minutes > 59 || *seconds > 59 || (text.size() > 19 && !isFractionOfSecond(text, 19)))
        return std::nullopt;
    value.hours = *hours;
    value.minutes = *minutes;
    value.seconds = *seconds;
    if (text.size() > 19)
        std::from_chars(text.data() + 19, text.data() + text.size(), value.fractionOfSecond);
    return value;
}

// A date cell as it shows: YYYY-MM-DD, then THH:MM:SS when the time of day (to the second, the
// fraction dropped) is not midnight. The date is the file's own: no day number stands between,
// so days before 1900-03-01 keep their date.
std::string dateValueText(const DateValue& value)
{
    std::string date = std::to_string(value.year) + (value.month < 10 ? "-0" : "-") + std::to_string(value.month) +
                       (value.day < 10 ? "-0" : "-") + std::to_string(value.day);
    if (value.hours == 0 && value.minutes == 0 && value.seconds == 0)
        return date;
    return date + 'T' + clockText(value.hours, value.minutes, value.seconds);
}

// The date systems the comparison rules read serials in: the 1900 one counts from 1899-12-30 from
// 1900-03-01 on (it has a 29 February 1900 that never was), the 1904 one from 1904-01-01.
const std::int64_t date1900Epoch = daysFromCivil(1899, 12, 30);
const std::int64_t date1904Epoch = daysFromCivil(1904, 1, 1);
constexpr double firstTrueDate1900Serial = 61;

// A date as a serial of the document's date system: days from its null date, the time of day a
// part of one. None for a day before the first one whose serial the rules read as that day.
std::optional<double> dateSerial(const DateValue& value, bool isDate1904)
{
    const double secondOfDay = value.hours * 3600.0 + value.minutes * 60.0 + value.seconds + value.fractionOfSecond;
    const double serial = static_cast<double>(daysFromCivil(value.year, value.month, value.day) -
                                              (isDate1904 ? date1904Epoch : date1900Epoch)) +
                          secondOfDay / 86400;
    if (serial < (isDate1904 ? 0 : firstTrueDate1900Serial))
        return std::nullopt;
    return serial;
}

// An office:time-value: a duration of whole seconds (any number of hours) and a fraction of one.
struct Duration {
    bool isNegative = false;
    std::uint64_t seconds = 0;
    double fractionOfSecond = 0;
};

// The duration of an office:time-value, [-]PT[nH][nM][n[.n]S]. None for a value of another form.
std::optional<Duration> duration(std::string_view text)
{
    Duration value;
    value.isNegative = text.starts_with('-');
    if (value.isNegative)
        text.remove_prefix(1);
    if (!text.starts_with("PT") || text.size() == 2)
        return std::nullopt;
    std::size_t at = 2;
    for (const auto& [unit, factor] :
         std::array<std::pair<char, std::uint64_t>, 3>{{{'H', 3600}, {'M', 60}, {'S', 1}}}) {
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
            return std::nullopt;
        value.seconds += static_cast<std::uint64_t>(*count) * factor;
        if (end > wholeEnd)
            std::from_chars(text.data() + wholeEnd, text.data() + end, value.fractionOfSecond);
        at = end + 1;
    }
    if (at != text.size())
        return std::nullopt;
    return value;
}

// A time cell as it shows without a paragraph: hours, minutes and whole seconds.
std::string durationText(const Duration& value)
{
    return (value.isNegative ? "-" : "") + clockText(value.seconds / 3600,
                                                     static_cast<unsigned>(value.seconds / 60 % 60),
                                                     static_cast<unsigned>(value.seconds % 60));
}

// A duration in days, as a time cell's serial.
double durationDays(const Duration& value)
{
    const double days = (static_cast<double>(value.seconds) + value.fractionOfSecond) / 86400;
    return value.isNegative ? -days : days;
}

// --- markup ---

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

    text::UTF8StreamCheck utf8_;  // the library decodes without checking: a broken sequence may swallow markup
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

// Which cells show a number as "General" shows it: those whose cell style (their own, else their
// row's, else their column's default) names no number style. Where their paragraph is a number,
// it is only what fitted the column's width (0.333333333 for 1/3), so they show their value
// instead.
class GeneralStyles {
public:
    explicit GeneralStyles(bool isDefaultGeneral)
        : isDefaultGeneral_(isDefaultGeneral)
    {
    }

    // A style:style element of content.xml's automatic styles.
    void addStyle(const TagAttributes& attributes)
    {
        if (attributes.text("family") != "table-cell")
            return;
        const std::string_view parent = attributes.text("parent-style-name");
        styles_[std::string(attributes.text("name"))] =
            attributes.text("data-style-name").empty() && (parent.empty() || isGeneral(parent));
    }

    void startTable()
    {
        columns_.clear();
        nextColumn_ = 0;
    }

    // A table:table-column element: the default cell style of its columns.
    void addColumns(const TagAttributes& attributes, std::int64_t count)
    {
        columns_.push_back({nextColumn_, std::string(attributes.text("default-cell-style-name"))});
        nextColumn_ = std::min(nextColumn_ + count, hugeRepeat);
    }

    bool isGeneral(std::optional<std::string_view> cellStyle, std::string_view rowStyle, std::int64_t column) const
    {
        if (cellStyle)
            return isGeneral(*cellStyle);
        if (!rowStyle.empty())
            return isGeneral(rowStyle);
        const auto run = std::upper_bound(columns_.begin(), columns_.end(), column,
                                          [](std::int64_t at, const auto& entry) { return at < entry.first; });
        return run == columns_.begin() || isGeneral(std::prev(run)->second);
    }

private:
    bool isGeneral(std::string_view style) const
    {
        if (style.empty() || style == "Default")
            return isDefaultGeneral_;
        const auto found = styles_.find(style);
        return found != styles_.end() && found->second;
    }

    bool isDefaultGeneral_;
    std::map<std::string, bool, std::less<>> styles_;
    std::vector<std::pair<std::int64_t, std::string>> columns_;  // the first column of each run
    std::int64_t nextColumn_ = 0;
};

// The paths of the embedded objects the manifest lists as charts ("Object 1"), without their
// trailing slash.
std::vector<std::string> chartObjectPaths(std::string_view manifest)
{
    std::vector<std::string> paths;
    forEachTag(manifest, [&paths](std::string_view tag) {
        if (tagName(tag) != "<file-entry" || attribute(tag, "media-type") != "application/vnd.oasis.opendocument.chart")
            return;
        std::string_view path = attribute(tag, "full-path").value_or("");
        if (path.ends_with('/'))
            path.remove_suffix(1);
        paths.emplace_back(path);
    });
    return paths;
}

// Whether styles.xml leaves the "Default" cell style without a number style.
bool isDefaultStyleGeneral(std::optional<std::string> styles)
{
    bool isGeneral = true;
    if (styles)
        forEachTag(*styles, [&isGeneral](std::string_view tag) {
            if (tagName(tag) == "<style" && attribute(tag, "name") == "Default" &&
                attribute(tag, "family") == "table-cell")
                isGeneral = attribute(tag, "data-style-name").value_or("").empty();
        });
    return isGeneral;
}

// The number, date and time cells of the selected sheet, each with its text and the value the
// file stores, handed to SheetCells by key as pending cells so that it keeps the value beside the
// text. A cell repeated down rows or across columns is kept once.
class StoredValues {
public:
    std::uint32_t add(std::string_view text, double value)
    {
        texts_.append(text);
        ends_.push_back(texts_.size());
        values_.push_back(value);
        return static_cast<std::uint32_t>(values_.size() - 1);
    }
    std::string_view text(std::uint32_t key) const
    {
        const std::uint64_t start = key == 0 ? 0 : ends_[key - 1];
        return std::string_view(texts_).substr(start, ends_[key] - start);
    }
    double value(std::uint32_t key) const { return values_[key]; }

private:
    std::string texts_;
    std::vector<std::uint64_t> ends_;
    std::vector<double> values_;
};

struct CellRun {
    std::int64_t row;
    std::int64_t rowCount;
    std::int64_t firstColumn;
    std::int64_t lastColumn;
    std::string text;
    std::optional<std::uint32_t> storedKey;  // of a cell with a stored value, in place of its text
};

// The library's walk over content.xml, reduced to what decides the sheet names and the texts
// of the selected sheet's cells.
class ODSContent {
public:
    ODSContent(const NativeRequest& request, bool isDefaultGeneral, std::vector<std::string> chartObjects,
               std::stop_token stop)
        : request_(request)
        , stop_(std::move(stop))
        , chartObjects_(std::move(chartObjects))
        , generalStyles_(isDefaultGeneral)
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

    const std::vector<SheetEntry>& sheets() const { return sheets_; }
    bool hasSelectedSheet() const { return selectedCount_ > 0; }
    bool isSelectedSheetAmbiguous() const { return selectedCount_ > 1; }
    bool hasSelectedChart() const { return hasSelectedChart_; }
    // The payload of the selected sheet, whose number, date and time cells keep their stored values.
    WorkbookPayload takePayload(std::vector<SheetEntry> sheets, std::stop_token stop)
    {
        cells_.storeNumbersOfPending([this](std::uint32_t key) { return stored_.value(key); }, isDate1904_);
        return std::move(cells_).payload(std::move(sheets), std::move(stop),
                                         [this](std::uint32_t key) { return stored_.text(key); });
    }

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
            // The cells a merge covers keep their columns, however many one element stands for.
            if (!tag.isClosing) {
                const auto repeat = TagAttributes(tag).get("number-columns-repeated");
                const auto count = repeat ? repeatCount(*repeat) : std::optional<std::int64_t>(1);
                if (!count || *count < 1)
                    decline();
                column_ = std::min(column_ + *count, hugeRepeat);
            }
            clearCellText();
            return;
        }
        if (name == "table-cell")
            return cell(tag);
        if (name == "style")
            return style(tag);
        if (name == "table-properties" && !tag.isClosing && !tableStyle_.empty() &&
            TagAttributes(tag).text("display") == "false")
            hiddenTableStyles_.insert(tableStyle_);
        if (name == "null-date" && !tag.isClosing)
            return noteNullDate(TagAttributes(tag).text("date-value"));
        if (name == "object" && !tag.isClosing && isSelected_)
            noteObject(TagAttributes(tag).text("href"));
        if (name == "table-column" && !tag.isClosing) {
            const TagAttributes attributes(tag);
            const auto repeat = attributes.get("number-columns-repeated");
            const auto count = repeat ? repeatCount(*repeat) : std::optional<std::int64_t>(1);
            if (!count)
                decline();
            return generalStyles_.addColumns(attributes, std::max<std::int64_t>(*count, 1));
        }
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
            clearCellText();
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

    // The document's null date, day 0 of its date serials: 1899-12-30 unless it names another. The
    // rules read serials in the 1900 and 1904 date systems: a null date of 1904-01-01 is the
    // latter, any other counts as the former.
    void noteNullDate(std::string_view text)
    {
        const std::optional<DateValue> date = dateValue(text);
        const bool isDate1904 = date && date->year == 1904 && date->month == 1 && date->day == 1;
        // Dates already counted in the other system would mix the two.
        if (hasDateSerials_ && isDate1904 != isDate1904_)
            decline();
        isDate1904_ = isDate1904;
    }

    // An embedded object of the selected sheet, as "./Object 1".
    void noteObject(std::string_view reference)
    {
        if (reference.starts_with("./"))
            reference.remove_prefix(2);
        if (reference.ends_with('/'))
            reference.remove_suffix(1);
        hasSelectedChart_ = hasSelectedChart_ ||
                            std::find(chartObjects_.begin(), chartObjects_.end(), reference) != chartObjects_.end();
    }

    // A style:style element; the table styles among them can hide the tables that use them.
    void style(const Tag& tag)
    {
        if (tag.isClosing) {
            tableStyle_.clear();
            return;
        }
        const TagAttributes attributes(tag);
        generalStyles_.addStyle(attributes);
        const bool isTableStyle = !tag.isSelfClosing && attributes.text("family") == "table";
        tableStyle_ = isTableStyle ? std::string(attributes.text("name")) : std::string();
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
            isSheetHidden_ = hiddenTableStyles_.contains(attributes.text("style-name"));
            isInTable_ = true;
            isSelected_ = !request_.isNamesOnly && (request_.sheet ? *request_.sheet == sheetName_ : sheets_.empty());
            selectedCount_ += isSelected_ ? 1 : 0;
            row_ = column_ = -1;
            range_.reset();
            runs_.clear();
            generalStyles_.startTable();
            return;
        }
        if (isSelected_)
            finishSelectedSheet();
        else if (!request_.isNamesOnly &&
                 sheetName_ == request_.sheet.value_or(sheets_.empty() ? "" : sheets_.front().name))
            ++selectedCount_;  // the library would read this later sheet of the same name
        sheets_.push_back({std::move(sheetName_), isSheetHidden_});
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
        const TagAttributes attributes(tag);
        rowStyle_ = attributes.text("default-cell-style-name");
        const auto repeat = attributes.get("number-rows-repeated");
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

    void clearCellText()
    {
        cellText_.clear();
        paragraphCount_ = 0;
    }

    void openCell(const TagAttributes& attributes, ValueType type, std::int64_t columnRepeat,
                  std::optional<std::string_view> stringValue)
    {
        ++column_;
        isInCell_ = true;
        clearCellText();
        cellType_ = type;
        columnRepeat_ = columnRepeat;
        serial_.reset();
        if (type == ValueType::time) {
            const std::optional<Duration> time = duration(attributes.text("time-value"));
            valueText_ = time ? durationText(*time) : std::string();
            if (time)
                serial_ = durationDays(*time);
        }
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
        range_->checkLimits();
        switch (type) {
        case ValueType::string:
            if (stringValue)
                cellText_ = unescapedXML(*stringValue);
            break;
        case ValueType::number:
            valueText_ = attributes.text("value");
            isGeneral_ = generalStyles_.isGeneral(attributes.get("style-name"), rowStyle_, column_);
            break;
        case ValueType::date: {
            const std::optional<DateValue> date = dateValue(attributes.text("date-value"));
            isDateRead_ = date.has_value();
            if (date) {
                valueText_ = dateValueText(*date);
                serial_ = dateSerial(*date, isDate1904_);
                hasDateSerials_ = true;
            }
            break;
        }
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
        if (isSelected_) {
            const std::optional<double> value = storedValue();
            storeCell(displayedText(), value);
        }
        column_ = std::min(column_ + columnRepeat_ - 1, hugeRepeat);
        clearCellText();
    }

    // Dates show as ISO text (the text of their paragraphs where the date cannot be read); other
    // cells show the text of their paragraphs (the spreadsheet's own
    // display), or without a paragraph their value: a number as "General" shows it, a time as
    // its duration. A number past the largest double shows as "General" shows it whatever its
    // paragraph says.
    std::string_view displayedText()
    {
        const bool hasParagraph = paragraphCount_ > 0;
        switch (cellType_) {
        case ValueType::string:
            return cellText_;
        case ValueType::date:
            return isDateRead_ ? std::string_view(valueText_) : std::string_view(cellText_);
        case ValueType::number: {
            const double number = parsedNumber(valueText_);
            if (!hasParagraph || !std::isfinite(number) || (isGeneral_ && cellText_.empty()))
                return valueText_ = generalNumberText(number);
            // The value may hold fewer digits than the paragraph: LibreOffice writes small
            // numbers with 20 places at most.
            if (isGeneral_ && isGeneralNumberText(cellText_)) {
                std::string general = generalNumberText(number);
                if (significantDigitCount(general) >= significantDigitCount(cellText_))
                    return valueText_ = std::move(general);
            }
            return cellText_;
        }
        case ValueType::time:
            // A paragraph without a digit does not show the time, unless the time cannot be read.
            return cellText_.find_first_of("0123456789") != std::string::npos || valueText_.empty() ? cellText_
                                                                                                    : valueText_;
        case ValueType::boolean:
            return hasParagraph ? cellText_ : valueText_;
        }
        return {};
    }

    // The value the file stores for a number, date or time cell, as the rules read a workbook's: a
    // number as it is (none past the largest double), a date as a serial of the document's date
    // system, a time as its duration in days.
    std::optional<double> storedValue() const
    {
        switch (cellType_) {
        case ValueType::number: {
            const double number = parsedNumber(valueText_);
            return std::isfinite(number) ? std::optional(number) : std::nullopt;
        }
        case ValueType::date:
        case ValueType::time:
            return serial_;
        case ValueType::string:
        case ValueType::boolean:
            break;
        }
        return std::nullopt;
    }

    void storeCell(std::string_view text, std::optional<double> value)
    {
        if (text.empty())
            return;
        const std::optional<std::uint32_t> key = value ? std::optional(stored_.add(text, *value)) : std::nullopt;
        for (std::int64_t repeat = 0; repeat < rowRepeat_; ++repeat) {
            if (repeat % 4096 == 4095 && stop_.stop_requested())
                throw ImportCancelled();
            place(row_ + repeat, column_, text, key);
        }
        // The copies to the right count only where the used range reaches, known at the end.
        if (columnRepeat_ > 1)
            runs_.push_back({row_, rowRepeat_, column_ + 1, column_ + columnRepeat_ - 1,
                             key ? std::string() : std::string(text), key});
    }

    // A cell with a stored value goes in by its key, its text resolved when the payload is made.
    void place(std::int64_t row, std::int64_t column, std::string_view text, std::optional<std::uint32_t> storedKey)
    {
        if (storedKey)
            cells_.addPending(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), *storedKey);
        else
            cells_.add(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), text);
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
                    place(row, column, run.text, run.storedKey);
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
            startParagraph();
            appendParagraphText(cellText_, paragraph_);
        } else {
            // An empty paragraph <text:p/> is a line of the cell's text too.
            if (tag.isSelfClosing && !isStringValued_)
                startParagraph();
            isParagraphStartLost_ = false;
            paragraph_.clear();
            isMarkJustSet_ = true;
        }
        adjustDepth(tag);
    }

    // Paragraphs after the first start on a line of their own.
    void startParagraph()
    {
        if (paragraphCount_++ > 0)
            cellText_ += '\n';
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

        // Fails with worksheetTooLarge past a limit.
        void checkLimits() const
        {
            if (lastRow - firstRow >= farIndex)
                CellRange{0, 0, static_cast<std::uint32_t>(maximumNativeRows), 0}.checkLimits();
            if (lastColumn - firstColumn >= farIndex)
                CellRange{0, 0, 0, static_cast<std::uint32_t>(maximumNativeColumns)}.checkLimits();
            cellRange().checkLimits();
        }
        CellRange cellRange() const
        {
            return {static_cast<std::uint32_t>(firstRow), static_cast<std::uint32_t>(firstColumn),
                    static_cast<std::uint32_t>(lastRow), static_cast<std::uint32_t>(lastColumn)};
        }
    };

    const NativeRequest& request_;
    std::stop_token stop_;
    std::vector<std::string> chartObjects_;
    bool hasSelectedChart_ = false;
    std::vector<SheetEntry> sheets_;
    std::vector<State> states_;
    std::string sheetName_;
    bool isSheetHidden_ = false;
    std::string tableStyle_;  // the name of the table style being read; empty outside one
    std::set<std::string, std::less<>> hiddenTableStyles_;
    bool isInTable_ = false;
    bool isSelected_ = false;
    int selectedCount_ = 0;

    std::int64_t row_ = -1;
    std::int64_t column_ = -1;
    std::int64_t rowRepeat_ = 1;
    std::string rowStyle_;
    GeneralStyles generalStyles_;
    std::optional<Range> range_;
    std::vector<CellRun> runs_;
    SheetCells cells_;
    StoredValues stored_;
    bool isDate1904_ = false;
    bool hasDateSerials_ = false;

    bool isInCell_ = false;
    ValueType cellType_ = ValueType::string;
    std::int64_t columnRepeat_ = 1;
    bool isStringValued_ = false;
    bool isGeneral_ = false;
    bool isDateRead_ = false;
    std::optional<double> serial_;  // of a date or time cell
    std::string valueText_;
    std::string cellText_;

    std::int64_t paragraphCount_ = 0;  // in the current cell
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
    const std::string manifestText = archive.readAll(*manifest);
    const std::optional<bool> isEncrypted = isEncryptedManifest(manifestText);
    if (!isEncrypted)
        decline();
    if (*isEncrypted)
        throw ImportError::encryptedWorkbook();

    const ZIPEntry* styles = archive.find("styles.xml");
    MarkupScanner scanner;
    ODSContent document(request, isDefaultStyleGeneral(styles ? std::optional(archive.readAll(*styles)) : std::nullopt),
                        chartObjectPaths(manifestText), stop);
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

    std::vector<SheetEntry> entries = document.sheets();
    if (request.isNamesOnly) {
        WorkbookPayload payload;
        payload.sheets = std::move(entries);
        return payload;
    }
    if (!document.hasSelectedSheet())
        throw ImportError::sheetNotFound(request.sheet.value_or(std::string()));
    if (document.isSelectedSheetAmbiguous())
        decline();
    WorkbookPayload payload = document.takePayload(std::move(entries), stop);
    // A sheet that holds a chart and no cells is a chart sheet.
    if (payload.rowCount == 0 && document.hasSelectedChart())
        throw ImportError::chartSheet();
    return payload;
}

}  // namespace rowlark::workbook
