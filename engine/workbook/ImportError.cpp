#include "engine/workbook/ImportError.h"

#include <utility>

namespace rowlark::workbook {

ImportError::ImportError(Kind kind, std::string message, std::string text, std::int64_t maximumBytes)
    : kind_(kind)
    , message_(std::move(message))
    , text_(std::move(text))
    , maximumBytes_(maximumBytes)
{
}

ImportError ImportError::unsupportedFormat(std::string extension)
{
    std::string message =
        "Unsupported file type: ." + extension + ". Choose CSV, XLSX, XLS, ODS (LibreOffice), or Numbers.";
    return ImportError(Kind::unsupportedFormat, std::move(message), std::move(extension));
}

ImportError ImportError::fileTooLarge(std::int64_t maximumBytes)
{
    std::string message =
        "The workbook is larger than the " + std::to_string(maximumBytes / 1048576) + " MB import limit.";
    return ImportError(Kind::fileTooLarge, std::move(message), {}, maximumBytes);
}

ImportError ImportError::sheetNotFound(std::string sheetName)
{
    std::string message = "The workbook does not contain a sheet named \u201C" + sheetName + "\u201D.";
    return ImportError(Kind::sheetNotFound, std::move(message), std::move(sheetName));
}

ImportError ImportError::readerFailure(std::string message)
{
    std::string description = "The spreadsheet reader failed: " + message;
    return ImportError(Kind::readerFailure, std::move(description), std::move(message));
}

ImportError ImportError::encryptedWorkbook()
{
    return ImportError(Kind::encryptedWorkbook, "Encrypted or password-protected workbooks are not supported.");
}

ImportError ImportError::workbookUnreadable()
{
    return ImportError(Kind::workbookUnreadable,
                       "The workbook could not be read. It may be damaged or use an unsupported format.");
}

ImportError ImportError::worksheetTooLarge()
{
    return ImportError(Kind::worksheetTooLarge, "The selected worksheet exceeds the safe import limits.");
}

ImportError ImportError::emptyWorksheet()
{
    return ImportError(Kind::emptyWorksheet, "The selected worksheet has no header row.");
}

ImportError ImportError::readerResourceMissing()
{
    return ImportError(Kind::readerResourceMissing, "The bundled spreadsheet reader is missing from the application.");
}

}  // namespace rowlark::workbook
