#include "engine/text/Unicode.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/ucurr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>

namespace rowlark::text {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isASCIIByte(char byte)
{
    return static_cast<unsigned char>(byte) < 0x80;
}

char asciiLower(char byte)
{
    return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + ('a' - 'A')) : byte;
}

bool isASCIILetterOrDigit(char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
}

// White space in the ASCII range: tab, line feed, vertical tab, form feed, carriage return, space.
bool isASCIIWhiteSpace(char byte)
{
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

void throwOnICUFailure(UErrorCode status, const char* operation)
{
    if (U_FAILURE(status))
        throw std::runtime_error(std::string(operation) + " failed: " + u_errorName(status));
}

const icu::Normalizer2& nfcNormalizer()
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    throwOnICUFailure(status, "Loading the NFC normalizer");
    return *normalizer;
}

// Breaking iterators are costly to create; each thread clones one for the root locale.
icu::BreakIterator& characterBreakIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        throwOnICUFailure(status, "Creating the grapheme iterator");
        return created;
    }();
    return *iterator;
}

}  // namespace

char32_t nextScalar(std::string_view text, std::size_t& position)
{
    // Offsets stay within one scalar, so texts beyond the 32-bit range of ICU's macros are fine.
    const std::size_t window = std::min<std::size_t>(text.size() - position, U8_MAX_LENGTH);
    UChar32 scalar;
    int32_t offset = 0;
    U8_NEXT(text.data() + position, offset, static_cast<int32_t>(window), scalar);
    position += static_cast<std::size_t>(offset);
    return scalar < 0 ? replacementCharacter : static_cast<char32_t>(scalar);
}

char32_t previousScalar(std::string_view text, std::size_t& end)
{
    const std::size_t window = std::min<std::size_t>(end, U8_MAX_LENGTH);
    UChar32 scalar;
    int32_t offset = static_cast<int32_t>(window);
    U8_PREV(text.data() + (end - window), 0, offset, scalar);
    end = end - window + static_cast<std::size_t>(offset);
    return scalar < 0 ? replacementCharacter : static_cast<char32_t>(scalar);
}

void appendScalar(std::string& text, char32_t scalar)
{
    char buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    UBool isError = false;
    U8_APPEND(buffer, length, U8_MAX_LENGTH, static_cast<UChar32>(scalar), isError);
    if (isError) {
        length = 0;
        U8_APPEND_UNSAFE(buffer, length, replacementCharacter);
    }
    text.append(buffer, static_cast<std::size_t>(length));
}

bool isWhiteSpaceOrLineBreak(char32_t scalar)
{
    return scalar < 0x80 ? isASCIIWhiteSpace(static_cast<char>(scalar)) : u_isUWhiteSpace(static_cast<UChar32>(scalar));
}

bool isLetterMarkOrNumber(char32_t scalar)
{
    if (scalar < 0x80)
        return isASCIILetterOrDigit(static_cast<char>(scalar));
    constexpr uint32_t categories = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
    return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & categories) != 0;
}

bool hasNumericType(char32_t scalar)
{
    return u_getIntPropertyValue(static_cast<UChar32>(scalar), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isPunctuation(char32_t scalar)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & U_GC_P_MASK) != 0;
}

bool isCurrencySymbol(char32_t scalar)
{
    return u_charType(static_cast<UChar32>(scalar)) == U_CURRENCY_SYMBOL;
}

bool isISOCurrencyCode(std::string_view code)
{
    static const std::set<std::string, std::less<>> codes = [] {
        std::set<std::string, std::less<>> all;
        UErrorCode status = U_ZERO_ERROR;
        UEnumeration* list = ucurr_openISOCurrencies(UCURR_ALL, &status);
        if (U_FAILURE(status))
            return all;
        int32_t length = 0;
        while (const char* next = uenum_next(list, &length, &status)) {
            if (U_FAILURE(status))
                break;
            all.emplace(next, static_cast<std::size_t>(length));
        }
        uenum_close(list);
        return all;
    }();
    return codes.contains(code);
}

bool isGraphemeExtender(char32_t scalar)
{
    switch (u_getIntPropertyValue(static_cast<UChar32>(scalar), UCHAR_GRAPHEME_CLUSTER_BREAK)) {
    case U_GCB_EXTEND:
    case U_GCB_ZWJ:
    case U_GCB_SPACING_MARK:
        return true;
    default:
        return false;
    }
}

bool isGraphemePrepend(char32_t scalar)
{
    return u_getIntPropertyValue(static_cast<UChar32>(scalar), UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_PREPEND;
}

bool isASCII(std::string_view text)
{
    const char* cursor = text.data();
    const char* end = cursor + text.size();
    for (; end - cursor >= 8; cursor += 8) {
        std::uint64_t word;
        std::memcpy(&word, cursor, sizeof word);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    return std::all_of(cursor, end, isASCIIByte);
}

std::string_view trimmed(std::string_view text)
{
    // Most texts start and end with a visible ASCII character: nothing to decode.
    const auto isVisibleASCII = [](char byte) { return byte > ' ' && byte < 0x7F; };
    if (!text.empty() && isVisibleASCII(text.front()) && isVisibleASCII(text.back()))
        return text;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t next = start;
        if (!isWhiteSpaceOrLineBreak(nextScalar(text, next)))
            break;
        start = next;
    }
    std::size_t end = text.size();
    while (end > start) {
        std::size_t previous = end;
        if (!isWhiteSpaceOrLineBreak(previousScalar(text, previous)))
            break;
        end = previous;
    }
    return text.substr(start, end - start);
}

bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

std::string lowercased(std::string_view text)
{
    if (isASCII(text)) {
        std::string lower(text);
        std::transform(lower.begin(), lower.end(), lower.begin(), asciiLower);
        return lower;
    }
    // The root locale gives the full mapping, final sigma included, and no language rules.
    thread_local std::unique_ptr<UCaseMap, decltype(&ucasemap_close)> caseMap = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCaseMap, decltype(&ucasemap_close)> map(ucasemap_open("", U_FOLD_CASE_DEFAULT, &status),
                                                                 &ucasemap_close);
        throwOnICUFailure(status, "Opening the case map");
        return map;
    }();
    std::string lower(text.size() + text.size() / 2 + 8, '\0');
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = ucasemap_utf8ToLower(caseMap.get(), lower.data(), static_cast<int32_t>(lower.size()),
                                                    text.data(), static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            lower.resize(static_cast<std::size_t>(length));
            continue;
        }
        throwOnICUFailure(status, "Lower-casing");
        lower.resize(static_cast<std::size_t>(length));
        return lower;
    }
}

std::string nfc(std::string_view text)
{
    if (isNFC(text))
        return std::string(text);
    std::string composed;
    icu::StringByteSink<std::string> sink(&composed, static_cast<int32_t>(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    nfcNormalizer().normalizeUTF8(0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), sink, nullptr,
                                  status);
    throwOnICUFailure(status, "Composing to NFC");
    return composed;
}

// ICU decodes invalid UTF-8 as U+FFFD; the NFC form of valid text is what comparisons see.
bool isNFC(std::string_view text)
{
    if (isASCII(text))
        return true;
    UErrorCode status = U_ZERO_ERROR;
    const bool normalized =
        nfcNormalizer().isNormalizedUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), status);
    return U_SUCCESS(status) && normalized;
}

bool canonicallyEqual(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    if (isNFC(a) && isNFC(b))
        return false;
    return nfc(a) == nfc(b);
}

std::strong_ordering compareCanonical(std::string_view a, std::string_view b)
{
    // UTF-8 byte order is Unicode scalar order.
    if (isNFC(a) && isNFC(b))
        return a.compare(b) <=> 0;
    return nfc(a).compare(nfc(b)) <=> 0;
}

std::strong_ordering compareCanonical(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    const std::size_t shared = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < shared; ++i)
        if (const auto order = compareCanonical(a[i], b[i]); order != 0)
            return order;
    return a.size() <=> b.size();
}

std::vector<std::size_t> graphemeBoundaries(std::string_view text)
{
    std::vector<std::size_t> boundaries{0};
    if (isASCII(text)) {
        // In ASCII only CR LF forms a cluster of more than one character.
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            boundaries.push_back(i + 1);
        }
        return boundaries;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    throwOnICUFailure(status, "Opening the text for grapheme breaking");
    std::unique_ptr<UText, decltype(&utext_close)> closer(utext, &utext_close);
    icu::BreakIterator& iterator = characterBreakIterator();
    iterator.setText(utext, status);
    throwOnICUFailure(status, "Grapheme breaking");
    iterator.first();
    for (int32_t boundary = iterator.next(); boundary != icu::BreakIterator::DONE; boundary = iterator.next())
        boundaries.push_back(static_cast<std::size_t>(boundary));
    // The iterator must not keep a pointer to the closed text.
    iterator.setText(icu::UnicodeString());
    return boundaries;
}

// The break iterator is declared last so that it goes first: it must not keep a pointer to a closed text.
struct GraphemeCursor::Iterator {
    std::unique_ptr<UText, decltype(&utext_close)> text{nullptr, &utext_close};
    std::unique_ptr<icu::BreakIterator> breaks;
};

GraphemeCursor::GraphemeCursor(std::string_view text)
    : text_(text)
{
    if (isASCII(text))
        return;
    iterator_ = std::make_unique<Iterator>();
    UErrorCode status = U_ZERO_ERROR;
    iterator_->text.reset(utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    throwOnICUFailure(status, "Opening the text for grapheme breaking");
    iterator_->breaks.reset(characterBreakIterator().clone());
    if (!iterator_->breaks)
        throw std::runtime_error("Cloning the grapheme iterator failed");
    iterator_->breaks->setText(iterator_->text.get(), status);
    throwOnICUFailure(status, "Grapheme breaking");
}

GraphemeCursor::~GraphemeCursor() = default;

bool GraphemeCursor::isBoundary(std::size_t position)
{
    if (!iterator_)
        return position == 0 || position >= text_.size() || text_[position - 1] != '\r' || text_[position] != '\n';
    return iterator_->breaks->isBoundary(static_cast<int32_t>(position));
}

std::size_t GraphemeCursor::preceding(std::size_t position)
{
    if (!iterator_)
        return position - (position >= 2 && !isBoundary(position - 1) ? 2 : 1);
    return static_cast<std::size_t>(iterator_->breaks->preceding(static_cast<int32_t>(position)));
}

std::size_t GraphemeCursor::following(std::size_t position)
{
    if (!iterator_)
        return position + (isBoundary(position + 1) ? 1 : 2);
    return static_cast<std::size_t>(iterator_->breaks->following(static_cast<int32_t>(position)));
}

std::vector<std::string_view> graphemeClusters(std::string_view text)
{
    std::vector<std::string_view> clusters;
    forEachGrapheme(text, [&](std::string_view cluster) { clusters.push_back(cluster); });
    return clusters;
}

std::size_t graphemeCount(std::string_view text)
{
    return graphemeBoundaries(text).size() - 1;
}

std::string normalizeHeader(std::string_view header)
{
    std::string normalized;
    if (isASCII(header)) {
        for (const char byte : header)
            if (isASCIILetterOrDigit(byte))
                normalized.push_back(asciiLower(byte));
        return normalized;
    }
    const std::string lower = lowercased(header);
    for (std::size_t position = 0; position < lower.size();) {
        const char32_t scalar = nextScalar(lower, position);
        if (isLetterMarkOrNumber(scalar))
            appendScalar(normalized, scalar);
    }
    return normalized;
}

}  // namespace rowlark::text
