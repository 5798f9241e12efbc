#pragma once

// The spreadsheet-reader library's evaluation of a number format, step by step: the format split
// into sections, a section into tokens, and the tokens filled with a value's date and time
// fields and its number.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/format/DateCodes.h"
#include "engine/workbook/format/NumberFormat.h"
#include "engine/workbook/format/NumberPlaceholders.h"

namespace rowlark::workbook::formatting {

constexpr std::string_view morningAfternoon = "\xE4\xB8\x8A\xE5\x8D\x88/\xE4\xB8\x8B\xE5\x8D\x88";  // 上午/下午

// A token of the library's format evaluation: its type letter and text.
struct Token {
    char type;
    std::string text;
};

// A section split into tokens, with the date of the value once a date or time token needs it.
struct Tokens {
    std::vector<Token> out;
    std::optional<DateCode> date;
    char hour = 'H';  // 'h' once there is an AM/PM marker
};

enum class Tokenizing { complete, endsEmpty, declined };

// The sections of a format as the library splits it at ';'; none for an unterminated quoted
// text.
std::optional<std::vector<std::string>> splitSections(std::string_view format);

// /\[[HhMmSs\u0E0A\u0E19\u0E17]*\]/ somewhere in the bracket text.
bool isElapsedTimeBracket(std::string_view bracket);

// The bracket text from `i` (at '[') through its ']', and the place after it.
std::string bracketText(std::string_view format, std::size_t& i);

bool isInNumberRun(std::string_view format, std::size_t i);

// The library's tokens of a section for a value. A number outside the date range ends the
// evaluation with an empty text at its first date token; the forms where the library throws
// and the Buddhist and Hijri calendar fields are declined.
Tokenizing tokenize(std::string_view format, const CellValue& value, int sectionCount, Tokens& tokens);

// The library's evaluation of a section's tokens for one value; none where the library throws
// and for texts under number placeholders.
Text evaluateTokens(Tokens tokens, const CellValue& value, int sectionCount);

// The library's evaluation of one section for one value; none where the library throws, and for
// the forms not reproduced: the Buddhist and Hijri calendar fields and texts under number or
// date placeholders.
Text evaluate(std::string_view format, const CellValue& value, int sectionCount);

// A section that is one run of number placeholders, such as "#,##0.00" or "0%".
bool isPlainNumberSection(std::string_view section);

// What the evaluation comes to for a plain number section: the placement of the written number
// into the one placeholder run keeps its whole part and as many places as the run has.
Text evaluatePlainNumber(std::string_view section, double value, int sectionCount);

// The condition of a section, as in [>100]: a form not reproduced.
bool hasCondition(std::string_view section);

}  // namespace rowlark::workbook::formatting
