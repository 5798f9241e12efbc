#include "engine/csv/CSVError.h"

#include <string>
#include <utility>

namespace rowlark::csv {

CSVError::CSVError(Kind kind, std::string message, std::int64_t row, std::int64_t expected, std::int64_t actual)
    : kind_(kind)
    , message_(std::move(message))
    , row_(row)
    , expected_(expected)
    , actual_(actual)
{
}

CSVError CSVError::tooManyColumns(std::int64_t row, std::int64_t expected, std::int64_t actual)
{
    return CSVError(Kind::tooManyColumns,
                    "CSV row " + std::to_string(row) + " has " + std::to_string(actual) +
                        " columns, but the header has " + std::to_string(expected) + ". No data was imported.",
                    row, expected, actual);
}

CSVError CSVError::unreadable()
{
    return CSVError(Kind::unreadable, "The CSV could not be decoded as UTF-8 or Windows-1252.");
}

CSVError CSVError::empty()
{
    return CSVError(Kind::empty, "The CSV has no header row.");
}

CSVError CSVError::unclosedQuote()
{
    return CSVError(Kind::unclosedQuote, "The CSV contains an unclosed quoted field.");
}

CSVError CSVError::invalidUTF16()
{
    return CSVError(Kind::invalidUTF16,
                    "The CSV starts with a UTF-16 byte-order mark but could not be decoded as UTF-16.");
}

CSVError CSVError::nulCharacters()
{
    return CSVError(Kind::nulCharacters,
                    "The CSV is full of NUL characters, as UTF-16 text without a byte-order mark is. Save it as UTF-8, "
                    "or as UTF-16 with a byte-order mark, and open it again.");
}

}  // namespace rowlark::csv
