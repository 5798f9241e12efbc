#pragma once

#include <cstdint>
#include <exception>
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
    };

    static ImportError unsupportedFormat(std::string extension);
    static ImportError fileTooLarge(std::int64_t maximumBytes);
    static ImportError sheetNotFound(std::string sheetName);
    static ImportError readerFailure(std::string message);
    static ImportError encryptedWorkbook();
    static ImportError workbookUnreadable();
    static ImportError worksheetTooLarge();
    static ImportError emptyWorksheet();
    static ImportError readerResourceMissing();

    Kind kind() const { return kind_; }
    // The extension, sheet name or reader message the error carries; empty for the others.
    const std::string& text() const { return text_; }
    // The limit of fileTooLarge; 0 for the others.
    std::int64_t maximumBytes() const { return maximumBytes_; }

    const std::string& errorDescription() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

    bool operator==(const ImportError& other) const
    {
        return kind_ == other.kind_ && text_ == other.text_ && maximumBytes_ == other.maximumBytes_;
    }

private:
    ImportError(Kind kind, std::string message, std::string text = {}, std::int64_t maximumBytes = 0);

    Kind kind_;
    std::string message_;
    std::string text_;
    std::int64_t maximumBytes_;
};

}  // namespace rowlark::workbook

namespace rowlark::workbook {

// Thrown instead of a result when the caller asked a load to stop before it finished.
class ImportCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "The import was cancelled."; }
};

}  // namespace rowlark::workbook
