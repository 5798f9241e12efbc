#include "engine/compare/ValueNormalization.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "engine/text/JSON.h"
#include "engine/text/Unicode.h"

namespace rowlark::compare {
namespace {

enum class Spelling { none, empty, trueValue, falseValue, unitedStates };

struct SpellingEntry {
    std::string_view compactForm;
    Spelling spelling;
};

constexpr std::array<SpellingEntry, 13> spellingEntries{{
    {"null", Spelling::empty},
    {"na", Spelling::empty},
    {"nil", Spelling::empty},
    {"true", Spelling::trueValue},
    {"yes", Spelling::trueValue},
    {"1", Spelling::trueValue},
    {"false", Spelling::falseValue},
    {"no", Spelling::falseValue},
    {"0", Spelling::falseValue},
    {"us", Spelling::unitedStates},
    {"usa", Spelling::unitedStates},
    {"unitedstates", Spelling::unitedStates},
    {"unitedstatesofamerica", Spelling::unitedStates},
}};

constexpr std::size_t longestSpelling = 21;

constexpr std::string_view trueForm = "true";
constexpr std::string_view falseForm = "false";
constexpr std::string_view unitedStatesForm = "unitedstates";

constexpr bool isASCIIAlphanumeric(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
}

constexpr bool isASCIIUppercase(char byte)
{
    return byte >= 'A' && byte <= 'Z';
}

char asciiLower(unsigned char byte)
{
    return static_cast<char>(isASCIIUppercase(static_cast<char>(byte)) ? byte + 32 : byte);
}

bool isVisibleASCII(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    return code > ' ' && code < 0x7F;
}

// Most cells start and end with a visible ASCII character and need no Unicode trimming.
std::string_view trimmedValue(std::string_view value)
{
    if (!value.empty() && isVisibleASCII(value.front()) && isVisibleASCII(value.back()))
        return value;
    return text::trimmed(value);
}

std::string_view composedForm(std::string_view value, std::string& buffer)
{
    if (text::isNFC(value))
        return value;
    buffer = text::nfc(value);
    return buffer;
}

// The spelling-list entry that the compact form of `value` equals, if any. The compact form is
// built only as far as an entry could still match. Every entry is ASCII, and a letter, mark or
// number outside ASCII still has a scalar outside ASCII once lower-cased (the Kelvin sign becomes
// "k", which no entry contains), so such a scalar rules out every entry.
Spelling spellingOf(std::string_view value)
{
    std::array<char, longestSpelling> compact;
    std::size_t length = 0;
    for (std::size_t position = 0; position < value.size();) {
        const auto byte = static_cast<unsigned char>(value[position]);
        if (byte >= 0x80) {
            if (text::isLetterMarkOrNumber(text::nextScalar(value, position)))
                return Spelling::none;
            continue;
        }
        ++position;
        if (!isASCIIAlphanumeric(byte))
            continue;
        if (length == compact.size())
            return Spelling::none;
        compact[length++] = asciiLower(byte);
    }
    const std::string_view form(compact.data(), length);
    const auto entry = std::find_if(spellingEntries.begin(), spellingEntries.end(),
                                    [&](const SpellingEntry& candidate) { return candidate.compactForm == form; });
    return entry == spellingEntries.end() ? Spelling::none : entry->spelling;
}

// The numeric characters of `value` in order, each a whole user-perceived character as written.
std::string_view numericCharacters(std::string_view value, bool isASCII, std::string& buffer)
{
    buffer.clear();
    if (isASCII) {
        std::copy_if(value.begin(), value.end(), std::back_inserter(buffer),
                     [](char byte) { return byte >= '0' && byte <= '9'; });
    } else {
        text::forEachGrapheme(value, [&](std::string_view character) {
            std::size_t position = 0;
            if (text::hasNumericType(text::nextScalar(character, position)))
                buffer.append(character);
        });
    }
    return buffer.size() == value.size() ? value : std::string_view(buffer);
}

std::string_view lowercasedForm(std::string_view value, bool isASCII, std::string& buffer)
{
    if (isASCII && std::none_of(value.begin(), value.end(), isASCIIUppercase))
        return value;
    buffer = text::lowercased(value);
    return buffer == value ? value : std::string_view(buffer);
}

// What one byte says about the cell it is in, for the check of cells that are their own form.
enum ByteClass : std::uint8_t {
    alphanumericByte = 1,
    uppercaseByte = 2,
    nonASCIIByte = 4,
};

constexpr std::array<std::uint8_t, 256> byteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (std::size_t byte = 0; byte < classes.size(); ++byte) {
        const auto code = static_cast<unsigned char>(byte);
        if (code >= 0x80)
            classes[byte] |= nonASCIIByte;
        if (isASCIIAlphanumeric(code))
            classes[byte] |= alphanumericByte;
        if (isASCIIUppercase(static_cast<char>(code)))
            classes[byte] |= uppercaseByte;
    }
    return classes;
}();

// Bit n is set when some spelling-list entry has n characters.
constexpr std::uint64_t spellingLengths = [] {
    std::uint64_t lengths = 0;
    for (const SpellingEntry& entry : spellingEntries)
        lengths |= std::uint64_t{1} << entry.compactForm.size();
    return lengths;
}();

bool mayBeSpelling(std::size_t alphanumericCount)
{
    return alphanumericCount <= longestSpelling && (spellingLengths >> alphanumericCount & 1) != 0;
}

// What one pass over a cell tells about it: whether it is ASCII with nothing to trim, whether it
// has upper case, and whether its letters and digits could spell a spelling-list entry.
struct PlainASCIIScan {
    bool isPlainASCII = false;
    bool hasUppercase = false;
    bool mayBeSpelling = true;
};

PlainASCIIScan scanPlainASCII(std::string_view value)
{
    if (value.empty() || !isVisibleASCII(value.front()) || !isVisibleASCII(value.back()))
        return {};
    std::uint8_t seen = 0;
    std::size_t alphanumericCount = 0;
    for (const char byte : value) {
        const std::uint8_t byteClass = byteClasses[static_cast<unsigned char>(byte)];
        seen |= byteClass;
        alphanumericCount += byteClass & alphanumericByte;
    }
    return {.isPlainASCII = (seen & nonASCIIByte) == 0,
            .hasUppercase = (seen & uppercaseByte) != 0,
            .mayBeSpelling = mayBeSpelling(alphanumericCount)};
}

bool mayBeJSON(std::string_view value)
{
    return !value.empty() && (value.front() == '{' || value.front() == '[') &&
           value.size() <= maximumJSONComparisonBytes;
}

}  // namespace

ColumnRules ColumnRules::forNormalizedHeader(std::string_view normalizedHeader)
{
    const auto contains = [&](std::string_view part) { return normalizedHeader.find(part) != std::string_view::npos; };
    return {
        .isFlag = contains("active") || contains("deceased") || normalizedHeader.starts_with("is"),
        .isPhone = contains("phone"),
        .isCountry = contains("country"),
    };
}

std::string_view canonicalComparable(std::string_view value, const ColumnRules& rules, bool ignoreCase,
                                     NormalizationBuffer& buffer)
{
    // Most cells are plain ASCII that no spelling rule applies to: a phone number keeps its digits
    // (if it has any), and any other cell that is not JSON and has no case to fold is its own form.
    if (const PlainASCIIScan scan = scanPlainASCII(value); scan.isPlainASCII && !scan.mayBeSpelling) {
        if (rules.isPhone) {
            const std::string_view digits = numericCharacters(value, true, buffer.result);
            if (!digits.empty())
                return digits;
        } else if (!mayBeJSON(value) && !(ignoreCase && scan.hasUppercase)) {
            return value;
        }
    }
    std::string_view trimmed = trimmedValue(value);
    const bool isASCII = text::isASCII(trimmed);
    // Composing first lets canonically equivalent inputs take the same path through every rule.
    if (!isASCII)
        trimmed = composedForm(trimmed, buffer.composed);
    const Spelling spelling = spellingOf(trimmed);
    if (spelling == Spelling::empty)
        return {};
    if (rules.isFlag && spelling == Spelling::trueValue)
        return trueForm;
    if (rules.isFlag && spelling == Spelling::falseValue)
        return falseForm;
    if (rules.isPhone) {
        if (const std::string_view digits = numericCharacters(trimmed, isASCII, buffer.result); !digits.empty())
            return digits;
    }
    if (rules.isCountry && spelling == Spelling::unitedStates)
        return unitedStatesForm;
    if (mayBeJSON(trimmed)) {
        if (auto json = text::canonicalJSON(trimmed, ignoreCase)) {
            buffer.result = std::move(*json);
            return composedForm(buffer.result, buffer.composed);
        }
    }
    if (!ignoreCase)
        return trimmed;
    return composedForm(lowercasedForm(trimmed, isASCII, buffer.result), buffer.composed);
}

std::string canonicalComparable(std::string_view value, std::string_view normalizedHeader, bool ignoreCase)
{
    NormalizationBuffer buffer;
    return std::string(
        canonicalComparable(value, ColumnRules::forNormalizedHeader(normalizedHeader), ignoreCase, buffer));
}

std::vector<std::string> normalizedKey(const std::vector<std::string>& row, const std::vector<std::string>& headers,
                                       const std::vector<std::int64_t>& keyIndices, bool ignoreCase)
{
    const auto at = [](const std::vector<std::string>& texts, std::int64_t index) -> std::string_view {
        return index >= 0 && static_cast<std::size_t>(index) < texts.size() ? texts[static_cast<std::size_t>(index)]
                                                                            : std::string_view();
    };
    std::vector<std::string> key;
    key.reserve(keyIndices.size());
    NormalizationBuffer buffer;
    for (const std::int64_t index : keyIndices) {
        const auto rules = ColumnRules::forNormalizedHeader(text::normalizeHeader(at(headers, index)));
        key.emplace_back(canonicalComparable(at(row, index), rules, ignoreCase, buffer));
    }
    return key;
}

}  // namespace rowlark::compare
