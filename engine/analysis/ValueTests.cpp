#include "engine/analysis/ValueTests.h"

#include "engine/text/Unicode.h"

#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace rowlark::analysis {
namespace {

enum class Pattern { identifier, webAddress, date };

struct PatternSource {
    const char16_t* expression;
    uint32_t flags;
};

// \d and \s are Unicode classes in ICU; "$" may also match before a final line break, which
// trimmed values never end with.
constexpr std::array<PatternSource, 3> patternSources{{
    {u"^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[1-5][0-9a-fA-F]{3}-[89abAB][0-9a-fA-F]{3}-[0-9a-fA-F]{12}$", 0},
    {u"^(https?://|www\\.)", UREGEX_CASE_INSENSITIVE},
    {u"^\\d{4}[-/]\\d{1,2}[-/]\\d{1,2}([T\\s].*)?$|^\\d{1,2}[-/]\\d{1,2}[-/]\\d{2,4}$", 0},
}};

// Compiled once; a RegexPattern is immutable and may be shared between threads.
const icu::RegexPattern& compiledPattern(Pattern pattern)
{
    static const auto compiled = [] {
        std::array<std::unique_ptr<icu::RegexPattern>, patternSources.size()> patterns;
        for (std::size_t i = 0; i < patternSources.size(); ++i) {
            UErrorCode status = U_ZERO_ERROR;
            UParseError error;
            patterns[i].reset(icu::RegexPattern::compile(icu::UnicodeString(patternSources[i].expression),
                                                         patternSources[i].flags, error, status));
            if (U_FAILURE(status))
                throw std::logic_error(std::string("Compiling a value pattern failed: ") + u_errorName(status));
        }
        return patterns;
    }();
    return *compiled[static_cast<std::size_t>(pattern)];
}

// A matcher holds the state of one search, so each thread keeps its own per pattern.
icu::RegexMatcher& matcher(Pattern pattern)
{
    thread_local std::array<std::unique_ptr<icu::RegexMatcher>, patternSources.size()> matchers;
    auto& slot = matchers[static_cast<std::size_t>(pattern)];
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        slot.reset(compiledPattern(pattern).matcher(status));
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("Creating a value matcher failed: ") + u_errorName(status));
    }
    return *slot;
}

// ICU searches contiguous UTF-16 much faster than UTF-8 text, so each thread converts values into
// one reused buffer.
bool search(Pattern pattern, std::string_view value)
{
    thread_local icu::UnicodeString buffer;
    // No cell of a loadable file comes near the size limit of an ICU string.
    if (value.size() > static_cast<std::size_t>(INT32_MAX / 2))
        return false;
    const auto length = static_cast<int32_t>(value.size());
    int32_t written = 0;
    UErrorCode status = U_ZERO_ERROR;
    UChar* units = buffer.getBuffer(length);
    u_strFromUTF8WithSub(units, buffer.getCapacity(), &written, value.data(), length, 0xFFFD, nullptr, &status);
    buffer.releaseBuffer(U_SUCCESS(status) ? written : 0);
    if (U_FAILURE(status))
        return false;
    icu::RegexMatcher& searcher = matcher(pattern);
    searcher.reset(buffer);
    return searcher.find(status) && U_SUCCESS(status);
}

bool isASCIIDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

bool isASCIILetter(char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

bool isNonASCII(char byte)
{
    return static_cast<unsigned char>(byte) >= 0x80;
}

bool isNumericCharacter(char32_t scalar)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & U_GC_N_MASK) != 0;
}

bool isLetterOrMark(char32_t scalar)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & (U_GC_L_MASK | U_GC_M_MASK)) != 0;
}

constexpr std::size_t fewestPhoneDigits = 7;
constexpr std::size_t mostPhoneDigits = 15;

// In ASCII every character is one byte (CR LF is one character but neither a digit nor a letter).
std::size_t asciiPhoneDigits(std::string_view value)
{
    std::size_t digits = 0;
    for (const char byte : value) {
        if (isASCIILetter(byte))
            return 0;
        digits += isASCIIDigit(byte) ? 1 : 0;
    }
    return digits;
}

// A character is classified by the scalar it starts with; a mark that starts a character
// counts as a letter.
std::size_t unicodePhoneDigits(std::string_view value)
{
    std::size_t digits = 0;
    bool hasLetter = false;
    text::forEachGrapheme(value, [&](std::string_view character) {
        std::size_t position = 0;
        const char32_t first = text::nextScalar(character, position);
        hasLetter = hasLetter || isLetterOrMark(first);
        digits += isNumericCharacter(first) ? 1 : 0;
    });
    return hasLetter ? 0 : digits;
}

// A line terminator as ICU's "$" sees one: LF, VT, FF, CR, NEL, LS, PS, or CR LF as one.
std::string_view withoutFinalLineTerminator(std::string_view value)
{
    if (value.ends_with("\r\n"))
        return value.substr(0, value.size() - 2);
    for (const std::string_view terminator : {"\n", "\v", "\f", "\r", "\u0085", "\u2028", "\u2029"}) {
        if (value.ends_with(terminator))
            return value.substr(0, value.size() - terminator.size());
    }
    return value;
}

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool isCSpace(char byte)
{
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

}  // namespace

bool isBooleanWord(std::string_view value)
{
    static constexpr std::array<std::string_view, 6> words{"true", "false", "yes", "no", "0", "1"};
    // No character outside ASCII lower-cases to a letter of these words, so longer texts are none.
    if (value.size() > 5)
        return false;
    const std::string lower = text::lowercased(value);
    return std::find(words.begin(), words.end(), lower) != words.end();
}

bool isIdentifier(std::string_view value)
{
    constexpr std::size_t identifierLength = 36;  // ASCII only, so characters are bytes
    return value.size() == identifierLength && search(Pattern::identifier, value);
}

// Decides "^[^@\s]+@[^@\s]+\.[^@\s]+$" as ICU does, in one pass: a backtracking matcher takes
// quadratic time on values like "a@a.a.a.….a.@". As there, "$" also matches before one line
// terminator that ends the value (a white space character the classes cannot hold).
bool isEmailAddress(std::string_view value)
{
    if (value.find('@') == std::string_view::npos)
        return false;
    value = withoutFinalLineTerminator(value);
    std::size_t atSign = std::string_view::npos;
    for (std::size_t position = 0; position < value.size();) {
        const std::size_t start = position;
        const char32_t scalar = text::nextScalar(value, position);
        if (text::isWhiteSpaceOrLineBreak(scalar))
            return false;
        if (scalar == '@') {
            if (atSign != std::string_view::npos)
                return false;
            atSign = start;
        }
    }
    if (atSign == std::string_view::npos || atSign == 0)
        return false;
    // A dot with at least one character on either side of it within the domain; both neighbours
    // take at least one byte each.
    const std::string_view domain = value.substr(atSign + 1);
    return domain.size() >= 3 && domain.substr(1, domain.size() - 2).find('.') != std::string_view::npos;
}

bool isWebAddress(std::string_view value)
{
    // A match starts with h or w in either case: the only other characters whose case folding
    // begins with them fold to that letter and a combining mark, which the pattern rejects.
    if (value.empty() || std::string_view("hHwW").find(value.front()) == std::string_view::npos)
        return false;
    return search(Pattern::webAddress, value);
}

bool isDate(std::string_view value)
{
    // Both branches start with a decimal digit; other scripts' digits are non-ASCII.
    if (value.empty() || !(isASCIIDigit(value.front()) || isNonASCII(value.front())))
        return false;
    return search(Pattern::date, value);
}

bool isPhoneNumber(std::string_view value)
{
    const std::size_t digits = text::isASCII(value) ? asciiPhoneDigits(value) : unicodePhoneDigits(value);
    return digits >= fewestPhoneDigits && digits <= mostPhoneDigits;
}

bool startsLikeJSON(std::string_view value)
{
    return !value.empty() && (value.front() == '{' || value.front() == '[');
}

bool isIntegerLiteral(std::string_view value)
{
    const bool isNegative = !value.empty() && value.front() == '-';
    if (!value.empty() && (value.front() == '-' || value.front() == '+'))
        value.remove_prefix(1);
    if (value.empty() || !std::all_of(value.begin(), value.end(), isASCIIDigit))
        return false;
    // Accumulate the magnitude; the negative range reaches one further than the positive one.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (isNegative ? 1 : 0);
    std::uint64_t magnitude = 0;
    for (const char digit : value) {
        const auto next = static_cast<std::uint64_t>(digit - '0');
        if (magnitude > (limit - next) / 10)
            return false;
        magnitude = magnitude * 10 + next;
    }
    return true;
}

bool isDecimalLiteral(std::string_view value)
{
    // strtod skips leading white space, which the grammar here does not allow.
    if (value.empty() || isCSpace(value.front()))
        return false;
    constexpr std::size_t stackCapacity = 128;
    char stackBuffer[stackCapacity];
    std::string heapBuffer;
    const char* begin = stackBuffer;
    if (value.size() < stackCapacity) {
        std::memcpy(stackBuffer, value.data(), value.size());
        stackBuffer[value.size()] = '\0';
    } else {
        heapBuffer.assign(value);
        begin = heapBuffer.c_str();
    }
    char* end = nullptr;
    // Out-of-range values still follow the grammar; they parse to infinity or zero.
    strtod_l(begin, &end, cLocale());
    return end == begin + value.size();
}

}  // namespace rowlark::analysis
