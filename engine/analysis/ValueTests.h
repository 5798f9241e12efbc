#pragma once

// The per-value tests that decide a column's kind. Each takes one trimmed cell value with its
// letter case as read.

#include <string_view>

namespace rowlark::analysis {

// Its lower-case form is true, false, yes, no, 0 or 1.
bool isBooleanWord(std::string_view value);
// An RFC 4122 identifier of version 1 to 5, hexadecimal digits in either case.
bool isIdentifier(std::string_view value);
// Something@something.something without white space or a second @.
bool isEmailAddress(std::string_view value);
// Starts with http://, https:// or www., in any letter case.
bool isWebAddress(std::string_view value);
// Year first with an optional time after T or white space, or day and month first.
bool isDate(std::string_view value);
// 7 to 15 numeric characters and no letter or mark at all.
bool isPhoneNumber(std::string_view value);
// Starts with { or [.
bool startsLikeJSON(std::string_view value);
// An optional sign and ASCII digits, within the signed 64-bit range.
bool isIntegerLiteral(std::string_view value);
// The whole value is a C-locale strtod literal: decimal, hexadecimal, inf, infinity or nan.
bool isDecimalLiteral(std::string_view value);

}  // namespace rowlark::analysis
