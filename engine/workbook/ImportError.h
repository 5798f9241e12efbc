#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace rowlark::workbook {

// A file that cannot be imported as a table, apart from CSV format errors (CSVError) and
// errors of the file system. `what()` is the message the user sees.
class ImportError : public std::exception {
public:
    enum class Kind {
        unsupportedFormat,
        fileTooLarge,
        sheetNotFound,
        readerFailure,
        encryptedWorkbook,
        workbookUnreadable,
        worksheetTooLarge,
        emptyWorksheet,
        readerResourceMissing,
        chartSheet,
    };

    // A limit of what one worksheet read may hold.
    enum class SheetLimit {
        rows,          // rows of the used range, the header row included
        columns,       // columns of the used range
        cells,         // rows × columns of the used range
        textLength,    // UTF-16 units of all cell texts together
        inflatedSize,  // megabytes the workbook's archive inflates to (or the times its packed size)
        readingTime,   // seconds of processor time for the reader helper
    };

    static ImportError unsupportedFormat(std::string extension);
    static ImportError fileTooLarge(std::int64_t maximumBytes);
    static ImportError sheetNotFound(std::string sheetName);
    static ImportError readerFailure(std::string message);
    static ImportError encryptedWorkbook();
    static ImportError workbookUnreadable();
    // Names the limit exceeded and its value: "… import limits: more than 250,000 rows."
    static ImportError worksheetTooLarge(SheetLimit limit, std::uint64_t value);
    static ImportError emptyWorksheet();
    static ImportError readerResourceMissing();
    static ImportError chartSheet();

    Kind kind() const { return kind_; }
    // The extension, sheet name or reader message the error carries; empty for the others.
    const std::string& text() const { return text_; }
    // The limit of fileTooLarge; 0 for the others.
    std::int64_t maximumBytes() const { return maximumBytes_; }
    // The limit worksheetTooLarge names; none for the others.
    std::optional<SheetLimit> sheetLimit() const { return sheetLimit_; }

    const std::string& errorDescription() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

    bool operator==(const ImportError& other) const
    {
        return kind_ == other.kind_ && text_ == other.text_ && maximumBytes_ == other.maximumBytes_ &&
               sheetLimit_ == other.sheetLimit_;
    }

private:
    ImportError(Kind kind, std::string message, std::string text = {}, std::int64_t maximumBytes = 0);

    Kind kind_;
    std::string message_;
    std::string text_;
    std::int64_t maximumBytes_;
    std::optional<SheetLimit> sheetLimit_;
};

}  // namespace rowlark::workbook

namespace rowlark::workbook {

// Thrown instead of a result when the caller asked a load to stop before it finished.
class ImportCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "The import was cancelled."; }
};

}  // namespace rowlark::workbook
