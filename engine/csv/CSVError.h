#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace rowlark::csv {

// A CSV file that cannot become a table. `what()` is the message the user sees.
class CSVError : public std::exception {
public:
    enum class Kind { tooManyColumns, unreadable, empty, unclosedQuote, invalidUTF16, nulCharacters };

    static CSVError tooManyColumns(std::int64_t row, std::int64_t expected, std::int64_t actual);
    static CSVError unreadable();
    static CSVError empty();
    static CSVError unclosedQuote();
    // A text whose byte-order mark says UTF-16 but whose bytes are not.
    static CSVError invalidUTF16();
    // A text full of NUL characters: UTF-16 or UTF-32 without a byte-order mark, or no text at all.
    static CSVError nulCharacters();

    Kind kind() const { return kind_; }
    // Payload of tooManyColumns: the record number (header is row 1) and both widths.
    std::int64_t row() const { return row_; }
    std::int64_t expected() const { return expected_; }
    std::int64_t actual() const { return actual_; }

    const std::string& errorDescription() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

    bool operator==(const CSVError& other) const
    {
        return kind_ == other.kind_ && row_ == other.row_ && expected_ == other.expected_ && actual_ == other.actual_;
    }

private:
    CSVError(Kind kind, std::string message, std::int64_t row = 0, std::int64_t expected = 0, std::int64_t actual = 0);

    Kind kind_;
    std::string message_;
    std::int64_t row_;
    std::int64_t expected_;
    std::int64_t actual_;
};

}  // namespace rowlark::csv
