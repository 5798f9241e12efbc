#pragma once

// JSON text in the forms Rowlark compares and stores. Numbers are never rounded: they keep
// their exact decimal value in one fixed spelling. Reading and writing are iterative, so no
// nesting can exhaust the stack: any depth that fits in memory is read.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rowlark::text {

// The compact form of any JSON value: no white space between tokens, object members sorted by
// name in Unicode scalar order, numbers in their canonical spelling. None when `text` is not
// JSON. Member names and strings are put in their composed (NFC) form before members are sorted,
// so canonically equivalent names sort alike; with `lowercaseTexts` they are lower-cased first.
//
// Only strict JSON is read: no comments, trailing commas, NaN or Infinity, no invalid UTF-8 and
// no lone surrogate escape ("\ud800" alone); any value may stand at the top level. Of members
// sharing a name (after lower-casing, with `lowercaseTexts`) the last one wins, as in a
// dictionary filled in reading order. Strings keep every character, "\u0000" included, and are
// written escaping only `"`, `\` and control characters. Numbers whose magnitude lies beyond
// the range of a double (such as 1e400) are refused by the reader, so such a text is not JSON.
std::optional<std::string> canonicalJSON(std::string_view text, bool lowercaseTexts = false);

// The one spelling of a JSON number token's exact value: "1.50", "15e-1" and "1.5" all give
// "1.5"; "-0" gives "0"; "1e2" gives "100"; digits are never dropped or rounded, so different
// values always give different spellings.
//
// The significant digits (without leading and trailing zeros) are written in plain decimal
// notation when that needs at most 20 zeros besides them, appended to an integer ("1e20" gives
// "100000000000000000000") or between the point and the first significant digit ("1e-20"
// gives "0.00000000000000000001"). Otherwise the spelling is scientific, with one digit before
// the point and a signed exponent: "1e21" gives "1e+21", "-12.5e-30" gives "-1.25e-29",
// "1e999999999" gives "1e+999999999". A text that is not a JSON number token comes back as it is.
std::string canonicalJSONNumber(std::string_view token);

// Appends `text` as a JSON string: quoted, with `"`, `\` and control characters escaped; other
// bytes are copied as they are.
void appendJSONString(std::string& out, std::string_view text);

// Whether the first character of `text` that is not white space is `{` or a double quote: only
// such a text can hold a JSON object, plainly or inside a JSON string.
bool opensJSONObjectOrString(std::string_view text);

// The same answer, settled at the first byte for the texts that start with an ASCII letter or
// digit, as most cells do.
inline bool looksLikeJSONObject(std::string_view text)
{
    if (text.empty())
        return false;
    const auto first = static_cast<unsigned char>(text.front());
    const auto lower = static_cast<unsigned char>(first | 0x20);
    if ((first >= '0' && first <= '9') || (lower >= 'a' && lower <= 'z'))
        return false;
    return opensJSONObjectOrString(text);
}

}  // namespace rowlark::text
