#pragma once

// The Unicode rules every part of Rowlark shares: a character is an extended grapheme cluster,
// trimming removes white space and line breaks, lower-casing is the full locale-independent
// mapping, texts are equal when canonically equivalent and ordered by the scalar values of
// their NFC form. All texts are UTF-8; invalid sequences read as U+FFFD.

#include <compare>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::text {

// Scalars

// Whether `byte` continues a UTF-8 sequence rather than starting one.
inline bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}
// Decodes the scalar starting at `position` and advances past it.
char32_t nextScalar(std::string_view text, std::size_t& position);
// Decodes the scalar ending at `end` and moves `end` back to its start.
char32_t previousScalar(std::string_view text, std::size_t& end);
void appendScalar(std::string& text, char32_t scalar);

bool isWhiteSpaceOrLineBreak(char32_t scalar);
// General categories L, M and N.
bool isLetterMarkOrNumber(char32_t scalar);
// Any numeric type (decimal, digit or numeric), as for a character that counts as a number.
bool hasNumericType(char32_t scalar);
bool isPunctuation(char32_t scalar);     // general category P
bool isCurrencySymbol(char32_t scalar);  // general category Sc
// Whether `code` is an ISO 4217 currency code, current or historic ("USD", "EUR", "DEM").
bool isISOCurrencyCode(std::string_view code);
bool isGraphemeExtender(char32_t scalar);  // joins the cluster before it (Extend, ZWJ, SpacingMark)
bool isGraphemePrepend(char32_t scalar);   // joins the cluster after it

// Texts

bool isASCII(std::string_view text);
std::string_view trimmed(std::string_view text);
bool isBlank(std::string_view text);  // empty, or nothing but white space and line breaks
std::string lowercased(std::string_view text);
std::string nfc(std::string_view text);
bool isNFC(std::string_view text);  // without allocating; ASCII always is
bool canonicallyEqual(std::string_view a, std::string_view b);
std::strong_ordering compareCanonical(std::string_view a, std::string_view b);
// Element by element; a list that is a prefix of the other orders first.
std::strong_ordering compareCanonical(const std::vector<std::string>& a, const std::vector<std::string>& b);

// Grapheme clusters

// Calls `visit(cluster)` for each extended grapheme cluster of `text`, in order.
template<typename Visitor> void forEachGrapheme(std::string_view text, Visitor&& visit);
std::vector<std::string_view> graphemeClusters(std::string_view text);
std::size_t graphemeCount(std::string_view text);

// The grapheme boundaries of one text, found one at a time around a position: a long text need not
// be segmented whole to learn the clusters around a part of it. Positions are byte offsets at scalar
// starts; the text must outlive the cursor.
class GraphemeCursor {
public:
    explicit GraphemeCursor(std::string_view text);
    ~GraphemeCursor();
    GraphemeCursor(const GraphemeCursor&) = delete;
    GraphemeCursor& operator=(const GraphemeCursor&) = delete;

    bool isBoundary(std::size_t position);
    std::size_t preceding(std::size_t position);  // the last boundary before `position`, which is above 0
    std::size_t following(std::size_t position);  // the first boundary after `position`, which is below the end

private:
    struct Iterator;

    std::string_view text_;
    std::unique_ptr<Iterator> iterator_;  // none for ASCII, where only CR LF joins
};

// Header texts

// Lower-cased, keeping only letters, marks and numbers: "First_Name" gives "firstname".
std::string normalizeHeader(std::string_view header);

// Implementation of forEachGrapheme: boundaries are computed once, then visited.
std::vector<std::size_t> graphemeBoundaries(std::string_view text);

template<typename Visitor> void forEachGrapheme(std::string_view text, Visitor&& visit)
{
    const auto boundaries = graphemeBoundaries(text);
    for (std::size_t i = 1; i < boundaries.size(); ++i)
        visit(text.substr(boundaries[i - 1], boundaries[i] - boundaries[i - 1]));
}

}  // namespace rowlark::text
