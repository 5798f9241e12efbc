#include "engine/text/JSON.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cstdint>

#include "engine/text/JSONReader.h"
#include "engine/text/Unicode.h"

namespace rowlark::text {
namespace {

// Zeros a plain decimal spelling may add besides the significant digits before the spelling
// turns scientific; keeps spellings short whatever the exponent.
constexpr std::int64_t maximumPaddingZeros = 20;

// Exponent texts up to this many digits fit an int64 with room for any adjustment.
constexpr std::size_t maximumSmallExponentDigits = 17;

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

std::size_t digitRunLength(std::string_view text, std::size_t from)
{
    std::size_t position = from;
    while (position < text.size() && isDigit(text[position]))
        ++position;
    return position - from;
}

// The pieces of a number token: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
struct NumberToken {
    bool isNegative = false;
    std::string_view integer;
    std::string_view fraction;
    bool isExponentNegative = false;
    std::string_view exponent;  // without leading zeros

    static std::optional<NumberToken> split(std::string_view token);
};

std::optional<NumberToken> NumberToken::split(std::string_view token)
{
    NumberToken parts;
    std::size_t position = 0;
    if (position < token.size() && token[position] == '-') {
        parts.isNegative = true;
        ++position;
    }
    const std::size_t integerLength = digitRunLength(token, position);
    if (integerLength == 0 || (integerLength > 1 && token[position] == '0'))
        return std::nullopt;
    parts.integer = token.substr(position, integerLength);
    position += integerLength;
    if (position < token.size() && token[position] == '.') {
        const std::size_t fractionLength = digitRunLength(token, ++position);
        if (fractionLength == 0)
            return std::nullopt;
        parts.fraction = token.substr(position, fractionLength);
        position += fractionLength;
    }
    if (position < token.size() && (token[position] == 'e' || token[position] == 'E')) {
        ++position;
        if (position < token.size() && (token[position] == '+' || token[position] == '-'))
            parts.isExponentNegative = token[position++] == '-';
        const std::size_t exponentLength = digitRunLength(token, position);
        if (exponentLength == 0)
            return std::nullopt;
        parts.exponent = token.substr(position, exponentLength);
        position += exponentLength;
        parts.exponent.remove_prefix(std::min(parts.exponent.find_first_not_of('0'), parts.exponent.size()));
    }
    if (position != token.size())
        return std::nullopt;
    return parts;
}

std::int64_t smallDecimalValue(std::string_view digits)
{
    std::int64_t value = 0;
    for (const char digit : digits)
        value = value * 10 + (digit - '0');
    return value;
}

// `magnitude` (decimal digits) plus or minus `amount`; the result must stay positive.
std::string adjustedMagnitude(std::string_view magnitude, std::uint64_t amount, bool isSubtraction)
{
    std::string result(magnitude);
    for (std::size_t position = result.size(); position-- > 0 && amount > 0;) {
        int digit = result[position] - '0';
        const int change = static_cast<int>(amount % 10);
        amount /= 10;
        digit += isSubtraction ? -change : change;
        if (digit < 0 || digit > 9) {
            digit += isSubtraction ? 10 : -10;
            ++amount;
        }
        result[position] = static_cast<char>('0' + digit);
    }
    if (amount > 0)
        result.insert(0, std::to_string(amount));
    result.erase(0, std::min(result.find_first_not_of('0'), result.size() - 1));
    return result;
}

// Appends the signed decimal text of `sign * magnitude + adjustment`, for exponents too long
// for an int64; the magnitude then far exceeds any adjustment, so the sign is the exponent's.
void appendHugeExponent(std::string& out, std::string_view magnitude, bool isNegative, std::int64_t adjustment)
{
    const std::uint64_t amount =
        adjustment < 0 ? 0 - static_cast<std::uint64_t>(adjustment) : static_cast<std::uint64_t>(adjustment);
    const bool isSubtraction = (adjustment < 0) != isNegative;
    out.push_back(isNegative ? '-' : '+');
    out.append(adjustedMagnitude(magnitude, amount, isSubtraction));
}

void appendZeros(std::string& out, std::int64_t count)
{
    out.append(static_cast<std::size_t>(count), '0');
}

// Writes the value 0.<digits> × 10^pointPosition, or, for an exponent too long to hold, in
// scientific notation from the exponent text.
void appendDecimal(std::string& out, std::string_view digits, const NumberToken& parts, std::int64_t digitsBeforePoint)
{
    const auto count = static_cast<std::int64_t>(digits.size());
    if (parts.exponent.size() <= maximumSmallExponentDigits) {
        const std::int64_t exponent = smallDecimalValue(parts.exponent);
        const std::int64_t point = digitsBeforePoint + (parts.isExponentNegative ? -exponent : exponent);
        if (point >= count && point - count <= maximumPaddingZeros) {
            out.append(digits);
            appendZeros(out, point - count);
            return;
        }
        if (point > 0 && point < count) {
            out.append(digits.substr(0, static_cast<std::size_t>(point)));
            out.push_back('.');
            out.append(digits.substr(static_cast<std::size_t>(point)));
            return;
        }
        if (point <= 0 && -point <= maximumPaddingZeros) {
            out.append("0.");
            appendZeros(out, -point);
            out.append(digits);
            return;
        }
    }
    out.push_back(digits.front());
    if (digits.size() > 1) {
        out.push_back('.');
        out.append(digits.substr(1));
    }
    out.push_back('e');
    if (parts.exponent.size() <= maximumSmallExponentDigits) {
        const std::int64_t exponent = smallDecimalValue(parts.exponent);
        const std::int64_t scientific = digitsBeforePoint - 1 + (parts.isExponentNegative ? -exponent : exponent);
        if (scientific >= 0)
            out.push_back('+');
        out.append(std::to_string(scientific));
    } else {
        appendHugeExponent(out, parts.exponent, parts.isExponentNegative, digitsBeforePoint - 1);
    }
}

void appendCanonicalNumber(std::string& out, std::string_view token)
{
    const auto parts = NumberToken::split(token);
    if (!parts) {
        out.append(token);
        return;
    }
    // The significant digits run over the integer and fraction texts; only the integer part
    // can have leading zeros ("0" or "0.00…") and only the fraction trailing ones, unless the
    // fraction is all zeros.
    std::string digits;
    digits.reserve(parts->integer.size() + parts->fraction.size());
    digits.append(parts->integer).append(parts->fraction);
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        out.push_back('0');
        return;
    }
    const std::size_t last = digits.find_last_not_of('0');
    if (parts->isNegative)
        out.push_back('-');
    const auto digitsBeforePoint = static_cast<std::int64_t>(parts->integer.size()) - static_cast<std::int64_t>(first);
    appendDecimal(out, std::string_view(digits).substr(first, last + 1 - first), *parts, digitsBeforePoint);
}

// What one pass over a text tells before it is parsed. Exact for valid JSON, which is all that
// matters: other texts fail to read anyway.
struct TextSurvey {
    bool isReadable = true;  // holds no NUL byte, which the reader would take for the end of the text
    bool hasUnicodeEscape = false;
};

TextSurvey surveyed(std::string_view text)
{
    TextSurvey survey;
    survey.isReadable = text.find('\0') == std::string_view::npos;
    for (std::size_t position = text.find('\\'); survey.isReadable && position != std::string_view::npos;
         position = text.find('\\', position + 2)) {
        if (position + 1 < text.size() && text[position + 1] == 'u') {
            survey.hasUnicodeEscape = true;
            break;
        }
    }
    return survey;
}

// The reader turns a lone low surrogate escape ("\udc00") into its three-byte encoding, which
// is not valid UTF-8; such a string makes the text not JSON.
bool holdsEncodedSurrogate(std::string_view text)
{
    for (std::size_t position = text.find('\xED'); position != std::string_view::npos;
         position = text.find('\xED', position + 1)) {
        if (position + 1 < text.size() && static_cast<unsigned char>(text[position + 1]) >= 0xA0)
            return true;
    }
    return false;
}

}  // namespace

// Receives the reader's events and appends nodes in document order.
class JSONDocument::Builder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Builder> {
public:
    Builder(JSONDocument& document, TextForm form, bool checksSurrogates)
        : document_(document)
        , form_(form)
        , checksSurrogates_(checksSurrogates)
    {
    }

    bool Default() { return false; }
    bool Null() { return addScalar(Kind::null); }
    bool Bool(bool value) { return addScalar(value ? Kind::trueLiteral : Kind::falseLiteral); }
    bool RawNumber(const char* token, rapidjson::SizeType length, bool)
    {
        Node& node = addNode(Kind::number);
        appendCanonicalNumber(document_.texts_, {token, length});
        node.textSize = document_.texts_.size() - node.textBegin;
        return true;
    }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        const std::size_t begin = document_.texts_.size();
        if (!appendText({text, length}))
            return false;
        Node& node = addNode(Kind::string);
        node.textBegin = begin;
        node.textSize = document_.texts_.size() - begin;
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        pendingNameBegin_ = document_.texts_.size();
        if (!appendText({text, length}))
            return false;
        pendingNameSize_ = document_.texts_.size() - pendingNameBegin_;
        return true;
    }
    bool StartObject() { return openContainer(Kind::object); }
    bool EndObject(rapidjson::SizeType) { return closeContainer(); }
    bool StartArray() { return openContainer(Kind::array); }
    bool EndArray(rapidjson::SizeType) { return closeContainer(); }

private:
    bool appendText(std::string_view text)
    {
        if (checksSurrogates_ && holdsEncodedSurrogate(text))
            return false;
        switch (form_) {
        case TextForm::asWritten:
            document_.texts_.append(text);
            break;
        case TextForm::composed:
            appendComposed(text);
            break;
        case TextForm::lowercasedComposed:
            appendComposed(lowercased(text));
            break;
        }
        return true;
    }
    void appendComposed(std::string_view text)
    {
        if (isNFC(text))
            document_.texts_.append(text);
        else
            document_.texts_.append(nfc(text));
    }
    Node& addNode(Kind kind)
    {
        Node& node = document_.nodes_.emplace_back();
        node.kind = kind;
        node.end = document_.nodes_.size();
        node.textBegin = document_.texts_.size();
        if (!document_.openContainers_.empty() &&
            document_.nodes_[document_.openContainers_.back()].kind == Kind::object) {
            node.nameBegin = pendingNameBegin_;
            node.nameSize = pendingNameSize_;
        }
        return node;
    }
    bool addScalar(Kind kind)
    {
        addNode(kind);
        return true;
    }
    bool openContainer(Kind kind)
    {
        addNode(kind);
        document_.openContainers_.push_back(document_.nodes_.size() - 1);
        return true;
    }
    bool closeContainer()
    {
        document_.nodes_[document_.openContainers_.back()].end = document_.nodes_.size();
        document_.openContainers_.pop_back();
        return true;
    }

    JSONDocument& document_;
    TextForm form_;
    bool checksSurrogates_;
    std::size_t pendingNameBegin_ = 0;
    std::size_t pendingNameSize_ = 0;
};

bool JSONDocument::read(std::string_view text, TextForm form)
{
    nodes_.clear();
    texts_.clear();
    openContainers_.clear();
    const TextSurvey survey = surveyed(text);
    if (!survey.isReadable)
        return false;
    constexpr unsigned flags =
        rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag;
    rapidjson::MemoryStream stream(text.data(), text.size());
    Builder builder(*this, form, survey.hasUnicodeEscape);
    rapidjson::Reader reader;
    if (reader.Parse<flags>(stream, builder).IsError()) {
        nodes_.clear();
        texts_.clear();
        return false;
    }
    return true;
}

void JSONDocument::appendSortedMembers(std::size_t object, std::vector<std::size_t>& into) const
{
    const std::size_t base = into.size();
    for (std::size_t member = object + 1; member < nodes_[object].end; member = nodes_[member].end)
        into.push_back(member);
    // Node indices grow in reading order, so they break ties like a stable sort would.
    const auto byNameThenReadingOrder = [this](std::size_t a, std::size_t b) {
        const std::string_view nameA = name(nodes_[a]);
        const std::string_view nameB = name(nodes_[b]);
        return nameA != nameB ? nameA < nameB : a < b;
    };
    std::sort(into.begin() + static_cast<std::ptrdiff_t>(base), into.end(), byNameThenReadingOrder);
    // Keep the last member of each run of equal names.
    std::size_t kept = base;
    for (std::size_t position = base; position < into.size(); ++position) {
        const bool isLastOfName =
            position + 1 == into.size() || name(nodes_[into[position]]) != name(nodes_[into[position + 1]]);
        if (isLastOfName)
            into[kept++] = into[position];
    }
    into.resize(kept);
}

void JSONDocument::appendCompact(std::size_t index, std::string& out) const
{
    // Containers still being written, innermost last, so that any depth that fits in memory is
    // written without recursion.
    struct OpenContainer {
        std::size_t index;
        std::size_t first;  // an array's first element node; an object's first position in `members`
        std::size_t next;
        std::size_t end;
    };
    std::vector<OpenContainer> open;
    // The sorted members of every open object; each object owns the tail it appended.
    std::vector<std::size_t> members;
    const auto start = [&](std::size_t value) {
        const Node& node = nodes_[value];
        switch (node.kind) {
        case Kind::null:
            out.append("null");
            return;
        case Kind::falseLiteral:
            out.append("false");
            return;
        case Kind::trueLiteral:
            out.append("true");
            return;
        case Kind::number:
            out.append(text(node));
            return;
        case Kind::string:
            appendJSONString(out, text(node));
            return;
        case Kind::array:
            out.push_back('[');
            open.push_back({value, value + 1, value + 1, node.end});
            return;
        case Kind::object: {
            out.push_back('{');
            const std::size_t first = members.size();
            appendSortedMembers(value, members);
            open.push_back({value, first, first, members.size()});
            return;
        }
        }
    };
    start(index);
    while (!open.empty()) {
        OpenContainer& container = open.back();
        const bool isObject = nodes_[container.index].kind == Kind::object;
        if (container.next == container.end) {
            out.push_back(isObject ? '}' : ']');
            if (isObject)
                members.resize(container.first);
            open.pop_back();
            continue;
        }
        if (container.next != container.first)
            out.push_back(',');
        std::size_t child = container.next;
        if (isObject) {
            child = members[container.next++];
            appendJSONString(out, name(nodes_[child]));
            out.push_back(':');
        } else {
            container.next = nodes_[child].end;
        }
        start(child);
    }
}

std::optional<std::string> canonicalJSON(std::string_view text, bool lowercaseTexts)
{
    JSONDocument document;
    if (!document.read(text,
                       lowercaseTexts ? JSONDocument::TextForm::lowercasedComposed : JSONDocument::TextForm::composed))
        return std::nullopt;
    std::string compact;
    compact.reserve(text.size());
    document.appendCompact(JSONDocument::root, compact);
    return compact;
}

std::string canonicalJSONNumber(std::string_view token)
{
    std::string spelling;
    appendCanonicalNumber(spelling, token);
    return spelling;
}

bool opensJSONObjectOrString(std::string_view text)
{
    std::size_t position = 0;
    while (position < text.size()) {
        const char32_t scalar = nextScalar(text, position);
        if (scalar == '{' || scalar == '"')
            return true;
        if (!isWhiteSpaceOrLineBreak(scalar))
            return false;
    }
    return false;
}

void appendJSONString(std::string& out, std::string_view text)
{
    static constexpr char hexDigits[] = "0123456789abcdef";
    out.push_back('"');
    for (const char byte : text) {
        switch (byte) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (static_cast<unsigned char>(byte) < 0x20) {
                out.append("\\u00");
                out.push_back(hexDigits[(byte >> 4) & 0xF]);
                out.push_back(hexDigits[byte & 0xF]);
            } else {
                out.push_back(byte);
            }
        }
    }
    out.push_back('"');
}

}  // namespace rowlark::text
