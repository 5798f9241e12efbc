#pragma once

// A number format evaluated step by step: the format split into sections and a section into
// tokens as the spreadsheet-reader library splits them, and the tokens filled with a value's date
// and time fields and its number.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/format/DateCodes.h"
#include "engine/workbook/format/NumberFormat.h"

namespace rowlark::workbook::formatting {

// A text, or none where the library throws or takes a path not reproduced here.
using Text = std::optional<std::string>;

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

// Whether the tokens are complete, or end at a date or time field for a number that has no date,
// or are declined.
enum class Tokenizing { complete, withoutDate, declined };

// The sections of a format as the library splits it at ';'; none for an unterminated quoted
// text.
std::optional<std::vector<std::string>> splitSections(std::string_view format);

// /\[[HhMmSs\u0E0A\u0E19\u0E17]*\]/ somewhere in the bracket text.
bool isElapsedTimeBracket(std::string_view bracket);

// The bracket text from `i` (at '[') through its ']', and the place after it.
std::string bracketText(std::string_view format, std::size_t& i);

bool isInNumberRun(std::string_view format, std::size_t i);

// The library's tokens of a section for a value. A negative number or one past the last date
// has no date, and no text at its first date or time token; the forms where the library throws
// and the Buddhist and Hijri calendar fields are declined.
Tokenizing tokenize(std::string_view format, const CellValue& value, Tokens& tokens);

// The text of a section's tokens for one value: its date and time fields written, and a number's
// magnitude in its placeholders, with a minus sign in front when `isMinusShown`; none where the
// library throws, and for texts under number placeholders.
Text evaluateTokens(Tokens tokens, const CellValue& value, bool isMinusShown);

// The text of one section for one value, as evaluateTokens writes it; a number without a date
// under date or time fields shows as "General" shows it. None for the forms not reproduced: the
// Buddhist and Hijri calendar fields and texts under number or date placeholders.
Text evaluate(std::string_view format, const CellValue& value, bool isMinusShown);

// The condition a section is chosen by, as in [>=1000].
struct Condition {
    std::string comparison;  // =, <>, <, <=, > or >=
    double limit = 0;

    bool matches(double value) const;
    // Whether only negative numbers can meet it, so that the section shows them without a sign.
    bool isForNegativesOnly() const;
};
std::optional<Condition> conditionOf(std::string_view section);

// What a format's date and time fields show: a date (a year, month or day field), a time of day
// or a duration ([h]:mm), and the places of a second.
struct DateTimeParts {
    bool hasDate = false;
    bool hasTime = false;
    bool isDuration = false;  // elapsed time without a date
    int secondPlaces = 0;     // at most 3
};
DateTimeParts dateTimePartsOf(std::string_view format);

}  // namespace rowlark::workbook::formatting
